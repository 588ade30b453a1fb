#include "platform/opencv/detector_input.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(DetectorInputSize, CapsTheLongerSideAndRoundsToMultiplesOf32) {
  const struct {
    cv::Size image, input;
  } cases[] = {{{1280, 720}, {960, 544}}, {{720, 1280}, {544, 960}}, {{100, 50}, {96, 64}},
               {{20, 10}, {32, 32}},      {{4000, 100}, {960, 32}},  {{1000, 700}, {960, 672}}};
  for (const auto& c : cases) {
    EXPECT_EQ(detectorInputSize(c.image, 960), c.input) << c.image;
  }
}

}  // namespace
}  // namespace sorvi
