#include "platform/tesseract_pixels.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(PixelsOverWhite, CompositesStraightAlphaOverWhite) {
  const RasterImage image{.width = 4,
                          .height = 1,
                          .rgba = {10, 20, 30, 255,  // opaque: unchanged
                                   0, 0, 0, 0,       // transparent black: white
                                   0, 0, 0, 128,     // half black: mid grey
                                   200, 100, 0, 51}};
  const auto pixels = pixelsOverWhite(image);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_EQ(pixels->bytesPerPixel, 3);
  EXPECT_EQ(pixels->bytes,
            (std::vector<std::uint8_t>{10, 20, 30, 255, 255, 255, 127, 127, 127, 244, 224, 204}));
}

TEST(PixelsOverWhite, GivesGreyWhenNoPixelHasColour) {
  const RasterImage image{
      .width = 2, .height = 2, .rgba = {9, 9, 9, 255, 0, 0, 0, 0, 0, 0, 0, 128, 77, 77, 77, 255}};
  const auto pixels = pixelsOverWhite(image);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_EQ(pixels->bytesPerPixel, 1);
  EXPECT_EQ(pixels->bytes, (std::vector<std::uint8_t>{9, 255, 127, 77}));
}

TEST(PixelsOverWhite, RefusesEmptyOrMismatchedImages) {
  EXPECT_FALSE(pixelsOverWhite(RasterImage{}).has_value());
  EXPECT_FALSE(pixelsOverWhite(RasterImage{.width = 2, .height = 1, .rgba = {0, 0, 0, 0}}));
  EXPECT_FALSE(pixelsOverWhite(RasterImage{.width = -1, .height = -4, .rgba = {0, 0, 0, 0}}));
}

}  // namespace
}  // namespace sorvi
