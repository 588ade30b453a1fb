#pragma once

#include <array>

#include <opencv2/core.hpp>

#include "recognition/raster_image.h"

namespace sorvi {

// What a model expects of its input planes: the colour of each plane (0 red,
// 1 green, 2 blue) and the mean and deviation of its values scaled to 0..1.
struct PlaneNormalisation {
  std::array<int, 3> colours;
  std::array<float, 3> mean;
  std::array<float, 3> deviation;
};

// The image's pixels as a 4-channel matrix, without a copy; read only.
cv::Mat rgbaView(const RasterImage& image);

// A 1x3xHxW float blob of `rgba` composited over white and normalised, its
// columns past the image's (up to `width`) left at zero.
cv::Mat planarBlob(const cv::Mat& rgba, int width, const PlaneNormalisation& normalisation);

}  // namespace sorvi
