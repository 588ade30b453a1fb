#include "platform/tesseract/tesseract_pixels.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

namespace sorvi {
namespace {

// White kept around what is read: the engine's page analysis wants some
// paper around the print.
constexpr int kKeptMargin = 48;
// Only a page that is mostly margin is cut: the engine's page analysis moves
// with the page's edges and reads some pages' columns otherwise, and a thin
// margin costs little.
constexpr double kMostlyMargin = 0.25;

using Colour = std::array<std::uint8_t, 3>;

Colour overWhite(const std::uint8_t* rgba) {
  const unsigned alpha = rgba[3];
  const unsigned white = 255 * (255 - alpha);
  Colour out{};
  for (std::size_t c = 0; c < 3; ++c) {
    out[c] = static_cast<std::uint8_t>((rgba[c] * alpha + white + 127) / 255);
  }
  return out;
}

// What the composited image holds: where its non-white pixels lie and
// whether any has colour or a shade between black and white.
struct Survey {
  int left = std::numeric_limits<int>::max();
  int top = std::numeric_limits<int>::max();
  int right = -1;  // exclusive bounds once something was seen
  int bottom = -1;
  bool grey = true;
  bool blackAndWhite = true;
};

Survey survey(const RasterImage& image) {
  Survey found;
  const std::uint8_t* in = image.rgba.data();
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x, in += 4) {
      const Colour c = overWhite(in);
      if (c[0] == 255 && c[1] == 255 && c[2] == 255) continue;
      found.left = std::min(found.left, x);
      found.right = std::max(found.right, x + 1);
      found.top = std::min(found.top, y);
      found.bottom = y + 1;
      found.grey = found.grey && c[0] == c[1] && c[1] == c[2];
      found.blackAndWhite = found.blackAndWhite && c[0] == 0;
    }
  }
  return found;
}

}  // namespace

std::optional<EnginePixels> pixelsOverWhite(const RasterImage& image) {
  if (image.width <= 0 || image.height <= 0) {
    return std::nullopt;
  }
  const auto width = static_cast<std::size_t>(image.width);
  const auto height = static_cast<std::size_t>(image.height);
  if (width > std::numeric_limits<std::size_t>::max() / 4 / height ||
      image.rgba.size() != width * height * 4) {
    return std::nullopt;
  }

  const Survey found = survey(image);
  EnginePixels result;
  if (found.right < 0) {
    result.bytesPerPixel = 1;
    return result;
  }
  result.left = std::max(found.left - kKeptMargin, 0);
  result.top = std::max(found.top - kKeptMargin, 0);
  result.width = std::min(found.right + kKeptMargin, image.width) - result.left;
  result.height = std::min(found.bottom + kKeptMargin, image.height) - result.top;
  if (static_cast<double>(result.width) * result.height >
      kMostlyMargin * static_cast<double>(width * height)) {
    result.left = 0;
    result.top = 0;
    result.width = image.width;
    result.height = image.height;
  }
  result.bytesPerPixel = !found.grey ? 3 : found.blackAndWhite ? 0 : 1;
  result.bytesPerLine =
      result.bytesPerPixel == 0 ? (result.width + 7) / 8 : result.width * result.bytesPerPixel;
  const auto rowBytes = static_cast<std::size_t>(result.bytesPerLine);
  result.bytes.assign(rowBytes * static_cast<std::size_t>(result.height), 0);

  for (int y = 0; y < result.height; ++y) {
    const std::uint8_t* in = image.rgba.data() + (static_cast<std::size_t>(result.top + y) * width +
                                                  static_cast<std::size_t>(result.left)) *
                                                     4;
    std::uint8_t* out = result.bytes.data() + static_cast<std::size_t>(y) * rowBytes;
    for (int x = 0; x < result.width; ++x, in += 4) {
      const Colour c = overWhite(in);
      switch (result.bytesPerPixel) {
        case 3:
          std::copy(c.begin(), c.end(), out + static_cast<std::size_t>(x) * 3);
          break;
        case 1:
          out[x] = c[0];
          break;
        default:
          if (c[0] == 255) out[x / 8] |= static_cast<std::uint8_t>(0x80U >> (x % 8));
      }
    }
  }
  return result;
}

}  // namespace sorvi
