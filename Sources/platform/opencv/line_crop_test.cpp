#include "platform/opencv/line_crop.h"

#include <gtest/gtest.h>
#include <cmath>

namespace sorvi {
namespace {

TEST(UprightLineCrop, WarpsTheBoxFromItsFirstCornerToTheTopLeft) {
  // Red and green say where a pixel was: twice its column and row.
  cv::Mat image(100, 100, CV_8UC4);
  image.forEach<cv::Vec4b>([](cv::Vec4b& pixel, const int* at) {
    pixel = {static_cast<uchar>(2 * at[1]), static_cast<uchar>(2 * at[0]), 0, 255};
  });
  const struct {
    const char* name;
    TextBox box;
    cv::Size size;
    cv::Point2f topLeft, topRight, bottomLeft;  // in the image
  } cases[] = {
      {"upright",
       {{{{20, 10}, {80, 10}, {80, 30}, {20, 30}}}},
       {60, 20},
       {20, 10},
       {79, 10},
       {20, 29}},
      {"turned a quarter, read from its top right",
       {{{{80, 10}, {80, 70}, {60, 70}, {60, 10}}}},
       {60, 20},
       {80, 10},
       {80, 69},
       {61, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const cv::Mat crop = uprightLineCrop(image, c.box);
    ASSERT_EQ(crop.size(), c.size);
    const auto near = [&crop](cv::Point at, cv::Point2f expected) {
      const auto& pixel = crop.at<cv::Vec4b>(at);
      EXPECT_NEAR(pixel[0], 2 * expected.x, 2.5) << at;
      EXPECT_NEAR(pixel[1], 2 * expected.y, 2.5) << at;
    };
    near({0, 0}, c.topLeft);
    near({c.size.width - 1, 0}, c.topRight);
    near({0, c.size.height - 1}, c.bottomLeft);
  }
  // No area, a corner that is not a number, a box larger than any image.
  for (const TextBox& box : {TextBox{}, TextBox{{{{20, 10}, {80, 10}, {NAN, 30}, {20, 30}}}},
                             TextBox{{{{0, 0}, {3e9F, 0}, {3e9F, 20}, {0, 20}}}}}) {
    EXPECT_TRUE(uprightLineCrop(image, box).empty());
  }
}

}  // namespace
}  // namespace sorvi
