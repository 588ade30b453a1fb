#pragma once

#include <cstdint>

namespace sorvi {

// The largest decoded image accepted, 64 megapixels (a 61 MP camera's
// photo fits). Recognition needs about 15 bytes a pixel, so an image this
// large stays within the worker's memory bound. A small file that claims
// larger dimensions is refused before anything big is allocated.
inline constexpr std::uint64_t kMaxImagePixels = 64'000'000;

inline bool fitsImageBudget(std::uint64_t width, std::uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxImagePixels && height <= kMaxImagePixels &&
         width * height <= kMaxImagePixels;
}

}  // namespace sorvi
