#include "pdf/page_pixel_size.h"

#include <limits>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

std::optional<std::pair<int, int>> sizeOf(PdfRect box, int quarterTurns = 0) {
  const auto size = pagePixelSize({box, quarterTurns}, 2.0);
  if (!size) return std::nullopt;
  return std::make_pair(size->width, size->height);
}

TEST(PagePixelSize, ExtentsTimesScaleTruncatedWhateverTheOrigin) {
  EXPECT_EQ(sizeOf({0, 0, 300, 400}), std::make_pair(600, 800));
  EXPECT_EQ(sizeOf({0, 0, 100.6, 200.3}), std::make_pair(201, 400));
  EXPECT_EQ(sizeOf({-1000.7, 3e4, 100.6, 200.3}), std::make_pair(201, 400));
  EXPECT_EQ(sizeOf({0, 0, -100.6, -200.3}), std::make_pair(201, 400));
  EXPECT_EQ(sizeOf({0, 0, 0.5, 0.5}), std::make_pair(1, 1));
  EXPECT_EQ(pagePixelSize({{0, 0, 10, 10}, 0}, 1.5)->width, 15);
}

TEST(PagePixelSize, QuarterTurnsSwapTheSides) {
  EXPECT_EQ(sizeOf({0, 0, 100.6, 200.3}, 1), std::make_pair(400, 201));
  EXPECT_EQ(sizeOf({0, 0, 100.6, 200.3}, 2), std::make_pair(201, 400));
  EXPECT_EQ(sizeOf({0, 0, 100.6, 200.3}, 3), std::make_pair(400, 201));
}

TEST(PagePixelSize, PagesThatCannotBeDrawnHaveNoSize) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(sizeOf({0, 0, 0, 100}), std::nullopt);
  EXPECT_EQ(sizeOf({0, 0, 100, 0.49}), std::nullopt);
  EXPECT_EQ(sizeOf({0, 0, inf, 100}), std::nullopt);
  EXPECT_EQ(sizeOf({0, 0, 100, nan}), std::nullopt);
  EXPECT_EQ(sizeOf({0, 0, 1e300, 1e300}), std::nullopt);
  // The memory budget: 8192 x 8192 RGBA is exactly 256 MiB, one row more is not.
  EXPECT_EQ(sizeOf({0, 0, 4096, 4096}), std::make_pair(8192, 8192));
  EXPECT_EQ(sizeOf({0, 0, 4096, 4096.5}), std::nullopt);
  // A thin page within the budget but longer than a renderer's row allows.
  EXPECT_EQ(sizeOf({0, 0, 524288, 1}), std::make_pair(1048576, 2));
  EXPECT_EQ(sizeOf({0, 0, 524288.5, 1}), std::nullopt);
}

}  // namespace
}  // namespace sorvi
