#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "recognition/raster_image.h"

namespace sorvi {

// Packed rows in a form Tesseract takes as raw image data: the part of the
// image at (left, top), width by height pixels, that holds anything but white.
struct EnginePixels {
  std::vector<std::uint8_t> bytes;
  // 3: RGB; 1: grey; 0: one bit per pixel, first pixel in the high bit,
  // 1 for white.
  int bytesPerPixel = 3;
  int bytesPerLine = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  // Every pixel of the image is white: there is nothing to read.
  [[nodiscard]] bool blank() const { return width == 0 || height == 0; }
};

// The image composited over opaque white (left alone, transparent pixels
// would read as black and hide dark text), narrowed to grey when no pixel
// has colour and to bits when every pixel is black or white: the engine
// binarises each colour channel, and a binary image needs no binarising.
// The white margin of a page that is mostly margin is cut down to a strip:
// the engine's work and memory grow with the area, and a page rendered from
// a large media box may be little else. Absent when the image is empty or
// its pixel buffer does not match its size.
std::optional<EnginePixels> pixelsOverWhite(const RasterImage& image);

}  // namespace sorvi
