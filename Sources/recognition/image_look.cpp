#include "recognition/image_look.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorvi {
namespace {

constexpr int kSampledPixels = 1 << 16;
// Brighter than this, or darker than that, and less saturated than the last
// (on 0..255) is paper.
constexpr int kLightValue = 170;
constexpr int kDarkValue = 90;
constexpr int kGreySaturation = 40;
// Screens and rendered pages: their three commonest colours cover 0.89 to
// 0.98 of them; scanned receipts 0.3 to 0.81, photos under 0.2.
constexpr double kRenderedShare = 0.85;
constexpr int kSmoothedColours = 32;

}  // namespace

ImageLook lookAt(const RasterImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() < image.stride() * static_cast<std::size_t>(image.height)) {
    return {};
  }
  const double area = static_cast<double>(image.width) * image.height;
  const int step = std::max(1, static_cast<int>(std::ceil(std::sqrt(area / kSampledPixels))));
  long light = 0;
  long dark = 0;
  std::vector<std::uint32_t> colours;
  colours.reserve(kSampledPixels + 1024);
  for (int y = step / 2; y < image.height; y += step) {
    const std::uint8_t* row = image.rgba.data() + static_cast<std::size_t>(y) * image.stride();
    for (int x = step / 2; x < image.width; x += step) {
      const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * 4;
      const int alpha = pixel[3];
      int high = 0;
      int low = 255;
      std::uint32_t colour = 0;
      for (int c = 0; c < 3; ++c) {
        const int over = (pixel[c] * alpha + 255 * (255 - alpha)) / 255;
        high = std::max(high, over);
        low = std::min(low, over);
        colour = colour << 8 | static_cast<std::uint32_t>(over);
      }
      colours.push_back(colour);
      // Saturation as HSV has it: (max - min) / max, on 0..255.
      if ((high - low) * 255 >= kGreySaturation * high) continue;
      if (high > kLightValue) ++light;
      if (high < kDarkValue) ++dark;
    }
  }
  if (colours.empty()) return {};
  const auto sampled = static_cast<double>(colours.size());

  std::sort(colours.begin(), colours.end());
  std::vector<long> runs;
  for (std::size_t i = 0, start = 0; i <= colours.size(); ++i) {
    if (i == colours.size() || colours[i] != colours[start]) {
      runs.push_back(static_cast<long>(i - start));
      start = i;
    }
  }
  const std::size_t top = std::min<std::size_t>(3, runs.size());
  std::partial_sort(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(top), runs.end(),
                    [](long a, long b) { return a > b; });
  long common = 0;
  for (std::size_t i = 0; i < top; ++i) common += runs[i];

  return {.paper = static_cast<double>(std::max(light, dark)) / sampled,
          .rendered = runs.size() >= kSmoothedColours &&
                      static_cast<double>(common) >= kRenderedShare * sampled};
}

}  // namespace sorvi
