#include "platform/tesseract_pixels.h"

#include <cstddef>
#include <limits>

namespace sorvi {

std::optional<EnginePixels> pixelsOverWhite(const RasterImage& image) {
  if (image.width <= 0 || image.height <= 0) {
    return std::nullopt;
  }
  const auto width = static_cast<std::size_t>(image.width);
  const auto height = static_cast<std::size_t>(image.height);
  if (width > std::numeric_limits<std::size_t>::max() / 4 / height) {
    return std::nullopt;
  }
  const std::size_t pixels = width * height;
  if (image.rgba.size() != pixels * 4) {
    return std::nullopt;
  }

  EnginePixels result;
  std::vector<std::uint8_t>& rgb = result.bytes;
  rgb.resize(pixels * 3);
  bool grey = true;
  const std::uint8_t* in = image.rgba.data();
  std::uint8_t* out = rgb.data();
  for (std::size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
    const unsigned alpha = in[3];
    const unsigned white = 255 * (255 - alpha);
    for (int c = 0; c < 3; ++c) {
      out[c] = static_cast<std::uint8_t>((in[c] * alpha + white + 127) / 255);
    }
    grey = grey && out[0] == out[1] && out[1] == out[2];
  }
  if (grey) {
    for (std::size_t i = 0; i < pixels; ++i) {
      rgb[i] = rgb[i * 3];
    }
    rgb.resize(pixels);
    rgb.shrink_to_fit();
    result.bytesPerPixel = 1;
  }
  return result;
}

}  // namespace sorvi
