#include "pdf/page_pixel_size.h"

#include <limits>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(PagePixelSize, ExtentsTimesScaleTruncatedSidesSwappedByQuarterTurnsWithinTheBudget) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    PdfRect box;
    int quarterTurns;
    std::optional<std::pair<int, int>> size;
  } cases[] = {
      {{0, 0, 300, 400}, 0, {{600, 800}}},
      {{0, 0, 100.6, 200.3}, 0, {{201, 400}}},
      {{-1000.7, 3e4, 100.6, 200.3}, 0, {{201, 400}}},
      {{0, 0, -100.6, -200.3}, 0, {{201, 400}}},
      {{0, 0, 0.5, 0.5}, 0, {{1, 1}}},
      {{0, 0, 100.6, 200.3}, 1, {{400, 201}}},
      {{0, 0, 100.6, 200.3}, 2, {{201, 400}}},
      {{0, 0, 100.6, 200.3}, 3, {{400, 201}}},
      {{0, 0, 0, 100}, 0, {}},
      {{0, 0, 100, 0.49}, 0, {}},
      {{0, 0, inf, 100}, 0, {}},
      {{0, 0, 100, nan}, 0, {}},
      {{0, 0, 1e300, 1e300}, 0, {}},
      // 8192 x 8192 RGBA is exactly 256 MiB; one row more is not allowed.
      {{0, 0, 4096, 4096}, 0, {{8192, 8192}}},
      {{0, 0, 4096, 4096.5}, 0, {}},
      // Thin, within the budget, but longer than a renderer's row allows.
      {{0, 0, 524288, 1}, 0, {{1048576, 2}}},
      {{0, 0, 524288.5, 1}, 0, {}},
  };
  for (const auto& c : cases) {
    const auto size = pagePixelSize({c.box, c.quarterTurns}, 2.0);
    EXPECT_EQ(size ? std::optional(std::make_pair(size->width, size->height)) : std::nullopt,
              c.size)
        << c.box.width << " x " << c.box.height << " turned " << c.quarterTurns;
  }
  EXPECT_EQ(pagePixelSize({{0, 0, 10, 10}, 0}, 1.5)->width, 15);
}

}  // namespace
}  // namespace sorvi
