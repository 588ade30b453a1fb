#include "platform/opencv/line_crop.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace sorvi {
namespace {

float distance(const ImagePoint& a, const ImagePoint& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace

cv::Size lineCropSize(const TextBox& box) {
  const auto& c = box.corners;
  const std::array<float, 4> sides{distance(c[0], c[1]), distance(c[2], c[3]), distance(c[0], c[3]),
                                   distance(c[1], c[2])};
  // A corner that is NaN or infinite makes the sum fail too; no image's box
  // comes near the bound, beyond which the sides would not fit an int.
  if (!(sides[0] + sides[1] + sides[2] + sides[3] < 1e9F)) {
    return {};
  }
  return {static_cast<int>(std::max(sides[0], sides[1])),
          static_cast<int>(std::max(sides[2], sides[3]))};
}

cv::Mat uprightLineCrop(const cv::Mat& rgba, const TextBox& box) {
  const cv::Size size = lineCropSize(box);
  if (size.width <= 0 || size.height <= 0) {
    return {};
  }
  std::array<cv::Point2f, 4> from{};
  for (std::size_t i = 0; i < from.size(); ++i) {
    from.at(i) = {box.corners.at(i).x, box.corners.at(i).y};
  }
  const auto w = static_cast<float>(size.width);
  const auto h = static_cast<float>(size.height);
  const std::array<cv::Point2f, 4> to{{{0, 0}, {w, 0}, {w, h}, {0, h}}};
  const cv::Mat transform = cv::getPerspectiveTransform(from.data(), to.data());
  cv::Mat crop;
  cv::warpPerspective(rgba, crop, transform, size, cv::INTER_CUBIC, cv::BORDER_REPLICATE);
  return crop;
}

}  // namespace sorvi
