#pragma once

#include <cstdint>

namespace sorvi {

// The largest decoded image accepted: 1 GiB of RGBA8. A small file that
// claims larger dimensions is refused before anything big is allocated.
inline constexpr std::uint64_t kMaxImagePixels = (std::uint64_t{1} << 30) / 4;

inline bool fitsImageBudget(std::uint64_t width, std::uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxImagePixels && height <= kMaxImagePixels &&
         width * height <= kMaxImagePixels;
}

}  // namespace sorvi
