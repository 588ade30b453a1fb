#include "platform/opencv/probability_boxes.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "platform/opencv/line_crop.h"

namespace sorvi {
namespace {

using Quad = std::array<cv::Point2f, 4>;

// Top left, top right, bottom right, bottom left, the two leftmost corners
// taken as the left side.
Quad orderedCorners(const cv::RotatedRect& rect) {
  Quad p{};
  rect.points(p.data());
  std::stable_sort(p.begin(), p.end(), [](auto a, auto b) { return a.x < b.x; });
  const bool firstOnTop = p[1].y > p[0].y;
  const bool thirdOnTop = p[3].y > p[2].y;
  return {firstOnTop ? p[0] : p[1], thirdOnTop ? p[2] : p[3], thirdOnTop ? p[3] : p[2],
          firstOnTop ? p[1] : p[0]};
}

// The mean probability inside the quadrilateral.
float meanInside(const cv::Mat& probability, const Quad& quad) {
  float left = quad[0].x;
  float right = left;
  float top = quad[0].y;
  float bottom = top;
  for (const cv::Point2f& p : quad) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  const int x0 = std::clamp(static_cast<int>(std::floor(left)), 0, probability.cols - 1);
  const int x1 = std::clamp(static_cast<int>(std::ceil(right)), 0, probability.cols - 1);
  const int y0 = std::clamp(static_cast<int>(std::floor(top)), 0, probability.rows - 1);
  const int y1 = std::clamp(static_cast<int>(std::ceil(bottom)), 0, probability.rows - 1);
  cv::Mat mask = cv::Mat::zeros(y1 - y0 + 1, x1 - x0 + 1, CV_8U);
  std::array<cv::Point, 4> corners{};
  for (std::size_t i = 0; i < corners.size(); ++i) {
    corners.at(i) = {static_cast<int>(quad.at(i).x - static_cast<float>(x0)),
                     static_cast<int>(quad.at(i).y - static_cast<float>(y0))};
  }
  const cv::Point* polygon = corners.data();
  const int count = static_cast<int>(corners.size());
  cv::fillPoly(mask, &polygon, &count, 1, cv::Scalar(1));
  return static_cast<float>(cv::mean(probability(cv::Rect(x0, y0, mask.cols, mask.rows)), mask)[0]);
}

// The rectangle grown on every side by its area times `ratio` over its
// perimeter: the map marks a shrunk core of each line.
cv::RotatedRect unclipped(const cv::RotatedRect& rect, float ratio) {
  const float w = rect.size.width;
  const float h = rect.size.height;
  const float grow = w * h * ratio / (2.0F * (w + h));
  return {rect.center, cv::Size2f(w + 2.0F * grow, h + 2.0F * grow), rect.angle};
}

TextBox imageBox(const Quad& quad, cv::Size mapSize, cv::Size imageSize, float score) {
  TextBox box{.corners = {}, .score = score};
  const auto scaleX = static_cast<float>(imageSize.width) / static_cast<float>(mapSize.width);
  const auto scaleY = static_cast<float>(imageSize.height) / static_cast<float>(mapSize.height);
  const auto maxX = static_cast<float>(imageSize.width - 1);
  const auto maxY = static_cast<float>(imageSize.height - 1);
  for (std::size_t i = 0; i < quad.size(); ++i) {
    box.corners.at(i) = {std::clamp(std::nearbyint(quad.at(i).x * scaleX), 0.0F, maxX),
                         std::clamp(std::nearbyint(quad.at(i).y * scaleY), 0.0F, maxY)};
  }
  return box;
}

// Starts the corners where the text does: a line much taller than wide is
// read as turned a quarter turn clockwise.
void cornersAsRead(TextBox& box) {
  const cv::Size size = lineCropSize(box);
  if (size.height * 2 >= size.width * 3) {
    std::rotate(box.corners.begin(), box.corners.begin() + 1, box.corners.end());
  }
}

}  // namespace

std::vector<TextBox> boxesFromProbabilityMap(const cv::Mat& probability, cv::Size imageSize,
                                             const BoxSettings& settings) {
  cv::Mat text;
  cv::compare(probability, settings.pixelThreshold, text, cv::CMP_GT);
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(text, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
  if (contours.size() > static_cast<std::size_t>(settings.maxRegions)) {
    contours.resize(settings.maxRegions);
  }

  std::vector<TextBox> boxes;
  for (const auto& contour : contours) {
    const cv::RotatedRect core = cv::minAreaRect(contour);
    if (std::min(core.size.width, core.size.height) < settings.minSide) {
      continue;
    }
    const float score = meanInside(probability, orderedCorners(core));
    // A map that is no probability somewhere in the region (NaN, infinite) says nothing of it.
    if (!std::isfinite(score) || score < settings.boxThreshold) {
      continue;
    }
    const cv::RotatedRect line = unclipped(core, settings.unclipRatio);
    if (std::min(line.size.width, line.size.height) < settings.minSide + 2.0F) {
      continue;
    }
    TextBox box = imageBox(orderedCorners(line), probability.size(), imageSize, score);
    const cv::Size size = lineCropSize(box);
    if (size.width <= 3 || size.height <= 3) {
      continue;
    }
    cornersAsRead(box);
    boxes.push_back(box);
  }
  return boxes;
}

}  // namespace sorvi
