#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "recognition/raster_image.h"

namespace sorvi {

// The image as packed 8-bit RGB rows, composited over opaque white (left
// alone, transparent pixels would read as black and hide dark text).
// Absent when the image is empty or its pixel buffer does not match its size.
std::optional<std::vector<std::uint8_t>> rgbOverWhite(const RasterImage& image);

}  // namespace sorvi
