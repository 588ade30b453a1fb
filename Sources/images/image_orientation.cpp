#include "images/image_orientation.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace sorvi {

RasterImage applyOrientation(RasterImage stored, int orientation) {
  if (orientation < 2 || orientation > 8) return stored;
  const int w = stored.width;
  const int h = stored.height;
  // Values 5-8 swap the axes.
  const bool transposed = orientation >= 5;
  RasterImage shown;
  shown.width = transposed ? h : w;
  shown.height = transposed ? w : h;
  shown.rgba.resize(stored.rgba.size());
  shown.pixelsPerInch = stored.pixelsPerInch;

  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) {
      int sx = 0;
      int sy = 0;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          sy = y;
          break;  // mirrored left-right
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;  // turned 180°
        case 4:
          sx = x;
          sy = h - 1 - y;
          break;  // mirrored top-bottom
        case 5:
          sx = y;
          sy = x;
          break;  // transposed
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;  // needs 90° clockwise
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;  // transversed
        default:
          sx = w - 1 - y;
          sy = x;
          break;  // 8: needs 90° anticlockwise
      }
      const std::size_t from = (static_cast<std::size_t>(sy) * w + sx) * 4;
      const std::size_t to = (static_cast<std::size_t>(y) * shown.width + x) * 4;
      std::memcpy(&shown.rgba[to], &stored.rgba[from], 4);
    }
  }
  return shown;
}

}  // namespace sorvi
