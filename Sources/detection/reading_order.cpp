#include "detection/reading_order.h"

#include <algorithm>
#include <cstddef>

namespace sorvi {
namespace {

struct Extent {
  float left, top, right, bottom;
  [[nodiscard]] float height() const { return bottom - top; }
  [[nodiscard]] float middle() const { return (top + bottom) / 2; }
};

Extent extentOf(const TextBox& box) {
  Extent extent{box.corners[0].x, box.corners[0].y, box.corners[0].x, box.corners[0].y};
  for (const ImagePoint& p : box.corners) {
    extent.left = std::min(extent.left, p.x);
    extent.right = std::max(extent.right, p.x);
    extent.top = std::min(extent.top, p.y);
    extent.bottom = std::max(extent.bottom, p.y);
  }
  return extent;
}

// Share of the lower of the two heights that the two spans have in common.
float verticalOverlap(const Extent& a, const Extent& b) {
  const float common = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
  const float lower = std::min(a.height(), b.height());
  return lower > 0 ? common / lower : (common >= 0 ? 1.0F : 0.0F);
}

}  // namespace

std::vector<TextBox> inReadingOrder(const std::vector<TextBox>& boxes) {
  struct Placed {
    TextBox box;
    Extent extent;
  };
  std::vector<Placed> placed;
  placed.reserve(boxes.size());
  for (const TextBox& box : boxes) {
    placed.push_back({box, extentOf(box)});
  }
  std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
    return a.extent.middle() < b.extent.middle();
  });

  std::vector<TextBox> ordered;
  ordered.reserve(placed.size());
  std::size_t start = 0;
  while (start < placed.size()) {
    // The band is measured on its first line, so it cannot creep downwards
    // through a column of slightly overlapping lines.
    const Extent band = placed[start].extent;
    std::size_t end = start + 1;
    while (end < placed.size() && verticalOverlap(band, placed[end].extent) > 0.5F) {
      ++end;
    }
    std::stable_sort(
        placed.begin() + static_cast<std::ptrdiff_t>(start),
        placed.begin() + static_cast<std::ptrdiff_t>(end),
        [](const Placed& a, const Placed& b) { return a.extent.left < b.extent.left; });
    for (std::size_t i = start; i < end; ++i) {
      ordered.push_back(placed[i].box);
    }
    start = end;
  }
  return ordered;
}

}  // namespace sorvi
