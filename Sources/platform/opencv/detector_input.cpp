#include "platform/opencv/detector_input.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "platform/opencv/model_input.h"

namespace sorvi {
namespace {

// The statistics of the images the detector was trained on.
const PlaneNormalisation kDetectorPlanes{
    .colours = {2, 1, 0}, .mean = {0.485F, 0.456F, 0.406F}, .deviation = {0.229F, 0.224F, 0.225F}};

int multipleOf32(double side) {
  return std::max(static_cast<int>(std::nearbyint(side / 32.0)) * 32, 32);
}

}  // namespace

cv::Size detectorInputSize(cv::Size imageSize, int maxSide) {
  const int longer = std::max(imageSize.width, imageSize.height);
  const double scale = longer > maxSide ? static_cast<double>(maxSide) / longer : 1.0;
  return {multipleOf32(imageSize.width * scale), multipleOf32(imageSize.height * scale)};
}

cv::Mat detectorBlob(const RasterImage& image, cv::Size size) {
  cv::Mat resized;
  cv::resize(rgbaView(image), resized, size, 0, 0, cv::INTER_LINEAR);
  return planarBlob(resized, size.width, kDetectorPlanes);
}

}  // namespace sorvi
