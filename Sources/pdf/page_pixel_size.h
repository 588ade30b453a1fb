#pragma once

#include <cstdint>
#include <optional>

#include "pdf/pdf_document.h"

namespace sorvi {

// Largest page bitmap drawn, in bytes of RGBA; a larger page is skipped.
// As large as the largest image, so that recognising it stays within the
// worker's memory bound.
inline constexpr std::int64_t kMaxPageBitmapBytes = std::int64_t{256} << 20;
// Longest side drawn, in pixels: keeps every row within the renderer's int arithmetic.
inline constexpr std::int64_t kMaxPageBitmapSide = std::int64_t{1} << 20;

// The page bitmap's size: the media box's extents times `scale`, each
// truncated toward zero, swapped for a page turned a quarter or three
// quarters. None when a side is zero, not finite, or over the limits above.
std::optional<PixelSize> pagePixelSize(const PageGeometry& geometry, double scale);

}  // namespace sorvi
