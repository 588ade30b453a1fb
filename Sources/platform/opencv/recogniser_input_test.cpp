#include "platform/opencv/recogniser_input.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(LineWindows, ReadEveryStepOfTheLineOnceInOrder) {
  const struct {
    int lineWidth, width, overlap;
    std::size_t windows;
  } cases[] = {{1281, 1280, 320, 2}, {3000, 1280, 320, 3}, {2240, 1280, 320, 2}, {400, 320, 64, 2}};
  for (const auto& c : cases) {
    const auto windows = lineWindows(c.lineWidth, c.width, c.overlap, 8);
    EXPECT_EQ(windows.size(), c.windows) << c.lineWidth;
    int next = 0;  // the line's next step to read
    for (const LineWindow& window : windows) {
      EXPECT_EQ(window.start / 8 + window.firstStep, next) << c.lineWidth;
      EXPECT_LT(window.firstStep, window.endStep);
      next = window.start / 8 + window.endStep;
    }
    EXPECT_GE(next * 8, c.lineWidth);
    EXPECT_EQ(windows.back().endStep, c.width / 8);
  }
}

}  // namespace
}  // namespace sorvi
