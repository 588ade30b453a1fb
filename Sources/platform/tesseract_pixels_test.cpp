#include "platform/tesseract_pixels.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(RgbOverWhite, CompositesStraightAlphaOverWhite) {
  RasterImage image{.width = 4, .height = 1,
                    .rgba = {10, 20, 30, 255,  // opaque: unchanged
                             0, 0, 0, 0,       // transparent black: white
                             0, 0, 0, 128,     // half black: mid grey
                             200, 100, 0, 51}};
  const auto rgb = rgbOverWhite(image);
  ASSERT_TRUE(rgb.has_value());
  EXPECT_EQ(*rgb, (std::vector<std::uint8_t>{10, 20, 30, 255, 255, 255, 127, 127, 127, 244, 224,
                                             204}));
}

TEST(RgbOverWhite, RefusesEmptyOrMismatchedImages) {
  EXPECT_FALSE(rgbOverWhite(RasterImage{}).has_value());
  EXPECT_FALSE(rgbOverWhite(RasterImage{.width = 2, .height = 1, .rgba = {0, 0, 0, 0}}));
  EXPECT_FALSE(rgbOverWhite(RasterImage{.width = -1, .height = -4, .rgba = {0, 0, 0, 0}}));
}

}  // namespace
}  // namespace sorvi
