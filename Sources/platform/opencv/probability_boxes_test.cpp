#include "platform/opencv/probability_boxes.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace sorvi {
namespace {

using Corners = std::array<ImagePoint, 4>;

// The pixels x0..x1, y0..y1.
std::vector<cv::Point> pixels(int x0, int y0, int x1, int y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

TEST(BoxesFromProbabilityMap, CutsGrownRotatedLinesOutOfTheMapInImagePixels) {
  struct Region {
    std::vector<cv::Point> polygon;
    float probability;
  };
  // A region whose pixel centres span w x h grows by w*h*1.5/(2(w+h)) on each side.
  const struct {
    const char* name;
    std::vector<Region> regions;
    cv::Size imageSize;
    std::vector<Corners> boxes;  // by their first corner, top to bottom
  } cases[] = {
      {"a line, scaled to the image (39 x 9 grows by 5.5)",
       {{pixels(10, 20, 49, 29), 0.9F}},
       {200, 120},
       {{{{9, 29}, {109, 29}, {109, 69}, {9, 69}}}}},
      {"a tilted line, clipped to the image (its pixels span 61 x 11, growing by 6.8)",
       {{{{20, 45}, {68, 9}, {74, 17}, {26, 53}}, 0.9F}},
       {100, 60},
       {{{{10, 44}, {70, 0}, {84, 18}, {25, 59}}}}},
      {"two lines (39 x 5 grows by 3.3, 59 x 7 by 4.7)",
       {{pixels(10, 8, 49, 13), 0.8F}, {pixels(30, 36, 89, 43), 0.7F}},
       {100, 60},
       {{{{7, 5}, {52, 5}, {52, 16}, {7, 16}}}, {{{25, 31}, {94, 31}, {94, 48}, {25, 48}}}}},
      {"a faint region", {{pixels(30, 20, 69, 39), 0.5F}}, {100, 60}, {}},
      {"a speck", {{pixels(50, 30, 51, 31), 0.9F}}, {100, 60}, {}},
      {"a NaN in a line",
       {{pixels(10, 20, 49, 29), 0.9F}, {pixels(20, 24, 21, 25), NAN}},
       {100, 60},
       {}},
      {"a tall line, read turned a quarter (7 x 39 grows by 4.5)",
       {{pixels(46, 10, 53, 49), 0.9F}},
       {100, 60},
       {{{{57, 6}, {57, 53}, {42, 53}, {42, 6}}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cv::Mat map = cv::Mat::zeros(60, 100, CV_32F);
    for (const Region& region : c.regions) {
      cv::fillConvexPoly(map, region.polygon, cv::Scalar(region.probability));
    }
    auto boxes = boxesFromProbabilityMap(map, c.imageSize);
    std::sort(boxes.begin(), boxes.end(),
              [](const TextBox& a, const TextBox& b) { return a.corners[0].y < b.corners[0].y; });
    ASSERT_EQ(boxes.size(), c.boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_GT(boxes[i].score, 0.6F);
      for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(boxes[i].corners.at(k).x, c.boxes[i].at(k).x, 1.0F) << "corner " << k;
        EXPECT_NEAR(boxes[i].corners.at(k).y, c.boxes[i].at(k).y, 1.0F) << "corner " << k;
      }
    }
  }
}

}  // namespace
}  // namespace sorvi
