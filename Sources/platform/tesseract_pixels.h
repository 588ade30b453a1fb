#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "recognition/raster_image.h"

namespace sorvi {

// Packed 8-bit rows for the engine: 1 byte per pixel when every pixel is
// grey, else 3 (RGB).
struct EnginePixels {
  std::vector<std::uint8_t> bytes;
  int bytesPerPixel = 3;
};

// The image composited over opaque white (left alone, transparent pixels
// would read as black and hide dark text), as grey when it has no colour:
// the engine binarises each colour channel, so grey costs a third.
// Absent when the image is empty or its pixel buffer does not match its size.
std::optional<EnginePixels> pixelsOverWhite(const RasterImage& image);

}  // namespace sorvi
