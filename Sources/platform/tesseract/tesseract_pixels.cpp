#include "platform/tesseract/tesseract_pixels.h"

#include <cstddef>
#include <limits>

namespace sorvi {
namespace {

std::vector<std::uint8_t> bitsOfBlackAndWhite(const std::vector<std::uint8_t>& grey,
                                              std::size_t width, std::size_t height) {
  const std::size_t rowBytes = (width + 7) / 8;
  std::vector<std::uint8_t> bits(rowBytes * height, 0);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* in = grey.data() + y * width;
    std::uint8_t* out = bits.data() + y * rowBytes;
    for (std::size_t x = 0; x < width; ++x) {
      if (in[x] == 255) {
        out[x / 8] |= static_cast<std::uint8_t>(0x80U >> (x % 8));
      }
    }
  }
  return bits;
}

}  // namespace

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

  EnginePixels result{.bytes = std::vector<std::uint8_t>(pixels * 3),
                      .bytesPerPixel = 3,
                      .bytesPerLine = image.width * 3};
  std::vector<std::uint8_t>& rgb = result.bytes;
  bool grey = true;
  bool blackAndWhite = true;
  const std::uint8_t* in = image.rgba.data();
  std::uint8_t* out = rgb.data();
  for (std::size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
    const unsigned alpha = in[3];
    const unsigned white = 255 * (255 - alpha);
    for (int c = 0; c < 3; ++c) {
      out[c] = static_cast<std::uint8_t>((in[c] * alpha + white + 127) / 255);
    }
    grey = grey && out[0] == out[1] && out[1] == out[2];
    blackAndWhite = blackAndWhite && (out[0] == 0 || out[0] == 255);
  }
  if (!grey) {
    return result;
  }

  for (std::size_t i = 0; i < pixels; ++i) {
    rgb[i] = rgb[i * 3];
  }
  rgb.resize(pixels);
  if (blackAndWhite) {
    result.bytes = bitsOfBlackAndWhite(rgb, width, height);
    result.bytesPerPixel = 0;
    result.bytesPerLine = static_cast<int>((width + 7) / 8);
    return result;
  }
  rgb.shrink_to_fit();
  result.bytesPerPixel = 1;
  result.bytesPerLine = image.width;
  return result;
}

}  // namespace sorvi
