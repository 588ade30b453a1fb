#pragma once

#include "recognition/raster_image.h"

namespace sorvi {

// The share of `image` that is light and nearly colourless, as paper is:
// scans and rendered pages are mostly paper, photos seldom. Measured on a
// sample of at most about 65,000 pixels, over white where transparent.
double paperShare(const RasterImage& image);

}  // namespace sorvi
