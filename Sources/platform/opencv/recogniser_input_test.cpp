#include "platform/opencv/recogniser_input.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(LineWindows, ReadEveryStepOfTheLineOnceInOrder) {
  const struct {
    int lineWidth, width, overlap;
    std::size_t windows;
  } cases[] = {{1281, 1280, 64, 2}, {3000, 1280, 64, 3}, {2500, 1280, 64, 3}, {400, 320, 64, 2}};
  for (const auto& c : cases) {
    const auto windows = lineWindows(c.lineWidth, c.width, c.overlap, 8);
    EXPECT_EQ(windows.size(), c.windows) << c.lineWidth;
    int next = 0;  // the line's next step to read
    for (const LineWindow& window : windows) {
      EXPECT_EQ(window.start / 8 + window.firstStep, next) << c.lineWidth;
      EXPECT_LT(window.firstStep, window.endStep);
      EXPECT_LE(window.endStep, c.width / 8);
      next = window.start / 8 + window.endStep;
    }
    EXPECT_GE(next * 8, c.lineWidth);
  }
}

TEST(RecogniserInputWidths, ShareAWidthOnlyWhereASetUpCostsMoreThanThePadding) {
  const struct {
    std::vector<int> columns;
    std::vector<int> widths;
  } cases[] = {
      {{}, {}},
      // Short lines take the narrowest input; long ones the widest, in windows.
      {{3, 150, 2000}, {160, 160, 960}},
      // A few columns apart: one width, that of the widest, in any order.
      {{300, 290, 305}, {312, 312, 312}},
      // Far apart: each its own, rounded up to whole steps.
      {{200, 700}, {200, 704}},
      // Many lines a little apart: padding all to the widest costs more.
      {{400, 400, 400, 400, 400, 400, 400, 400, 500, 500, 500, 500, 500, 500, 500, 500},
       {400, 400, 400, 400, 400, 400, 400, 400, 504, 504, 504, 504, 504, 504, 504, 504}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(recogniserInputWidths(c.columns), c.widths) << ::testing::PrintToString(c.columns);
  }
}

}  // namespace
}  // namespace sorvi
