#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sorvi {

// A decoded bitmap: 8-bit R, G, B, A per pixel, straight (not premultiplied)
// alpha, rows top to bottom with no padding. Shared read-only once made.
struct RasterImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes
  // The density the file states (vertical, in pixels per inch); absent
  // when it states none.
  std::optional<double> pixelsPerInch = std::nullopt;

  [[nodiscard]] std::size_t stride() const { return static_cast<std::size_t>(width) * 4; }
};

}  // namespace sorvi
