#pragma once

#include <opencv2/core.hpp>

#include "recognition/raster_image.h"

namespace sorvi {

// The size the detector sees an image of `imageSize` at: scaled down so that
// its longer side is at most `maxSide`, then each side rounded to a multiple
// of 32 (the network's coarsest stride), at least 32.
cv::Size detectorInputSize(cv::Size imageSize, int maxSide);

// The detector's input: the image resized to `size`, as normalised blue,
// green and red planes.
cv::Mat detectorBlob(const RasterImage& image, cv::Size size);

}  // namespace sorvi
