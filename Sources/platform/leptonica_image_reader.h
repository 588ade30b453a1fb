#pragma once

#include <memory>
#include <string>

#include "recognition/raster_image.h"

namespace sorvi {

// Decodes an image file with Leptonica into straight-alpha RGBA, for tests
// and the benchmark's engine-only run; null when the file cannot be read.
// Leptonica applies no EXIF orientation.
std::shared_ptr<const RasterImage> readImageWithLeptonica(const std::string& path);

}  // namespace sorvi
