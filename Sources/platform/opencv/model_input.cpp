#include "platform/opencv/model_input.h"

#include <cstdint>

namespace sorvi {

cv::Mat rgbaView(const RasterImage& image) {
  // OpenCV has no read-only matrix; no caller writes through this one.
  auto* pixels = const_cast<std::uint8_t*>(image.rgba.data());
  return {image.height, image.width, CV_8UC4, pixels, image.stride()};
}

cv::Mat planarBlob(const cv::Mat& rgba, int width, const PlaneNormalisation& normalisation) {
  const int rows = rgba.rows;
  const int sizes[] = {1, 3, rows, width};
  cv::Mat blob(4, sizes, CV_32F, cv::Scalar(0));
  std::array<float*, 3> planes{};
  std::array<float, 3> scale{};
  std::array<float, 3> offset{};
  for (int p = 0; p < 3; ++p) {
    planes[p] = blob.ptr<float>(0, p);
    scale[p] = 1.0F / (255.0F * normalisation.deviation[p]);
    offset[p] = normalisation.mean[p] / normalisation.deviation[p];
  }
  for (int y = 0; y < rows; ++y) {
    const auto* in = rgba.ptr<std::uint8_t>(y);
    const std::size_t row = static_cast<std::size_t>(y) * width;
    for (int x = 0; x < rgba.cols; ++x, in += 4) {
      const float alpha = static_cast<float>(in[3]) / 255.0F;
      for (int p = 0; p < 3; ++p) {
        const float value =
            static_cast<float>(in[normalisation.colours[p]]) * alpha + 255.0F * (1.0F - alpha);
        planes[p][row + x] = value * scale[p] - offset[p];
      }
    }
  }
  return blob;
}

}  // namespace sorvi
