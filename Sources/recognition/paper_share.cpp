#include "recognition/paper_share.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace sorvi {
namespace {

constexpr int kSampledPixels = 1 << 16;
// Brighter than this and less saturated than that (on 0..255) is paper.
constexpr int kLightValue = 170;
constexpr int kGreySaturation = 40;

}  // namespace

double paperShare(const RasterImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() < image.stride() * static_cast<std::size_t>(image.height)) {
    return 0.0;
  }
  const double area = static_cast<double>(image.width) * image.height;
  const int step = std::max(1, static_cast<int>(std::ceil(std::sqrt(area / kSampledPixels))));
  long paper = 0;
  long sampled = 0;
  for (int y = step / 2; y < image.height; y += step) {
    const std::uint8_t* row = image.rgba.data() + static_cast<std::size_t>(y) * image.stride();
    for (int x = step / 2; x < image.width; x += step) {
      const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * 4;
      const int alpha = pixel[3];
      int high = 0;
      int low = 255;
      for (int c = 0; c < 3; ++c) {
        const int over = (pixel[c] * alpha + 255 * (255 - alpha)) / 255;
        high = std::max(high, over);
        low = std::min(low, over);
      }
      // Saturation as HSV has it: (max - min) / max, on 0..255.
      if (high > kLightValue && (high - low) * 255 < kGreySaturation * high) ++paper;
      ++sampled;
    }
  }
  return sampled > 0 ? static_cast<double>(paper) / static_cast<double>(sampled) : 0.0;
}

}  // namespace sorvi
