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

}  // namespace
}  // namespace sorvi
