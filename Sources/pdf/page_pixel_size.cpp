#include "pdf/page_pixel_size.h"

#include <cmath>
#include <utility>

namespace sorvi {
namespace {

// Extent times scale truncated toward zero, when it is a side we can draw.
std::optional<std::int64_t> scaledSide(double extent, double scale) {
  const double scaled = std::trunc(std::fabs(extent) * scale);
  if (!std::isfinite(scaled) || scaled < 1.0 || scaled > static_cast<double>(kMaxPageBitmapSide)) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(scaled);
}

}  // namespace

std::optional<PixelSize> pagePixelSize(const PageGeometry& geometry, double scale) {
  const auto width = scaledSide(geometry.mediaBox.width, scale);
  const auto height = scaledSide(geometry.mediaBox.height, scale);
  if (!width || !height || *width * *height * 4 > kMaxPageBitmapBytes) return std::nullopt;

  PixelSize size{static_cast<int>(*width), static_cast<int>(*height)};
  if (geometry.quarterTurns % 2 != 0) std::swap(size.width, size.height);
  return size;
}

}  // namespace sorvi
