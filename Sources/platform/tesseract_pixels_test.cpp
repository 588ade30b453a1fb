#include "platform/tesseract_pixels.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using Bytes = std::vector<std::uint8_t>;

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
  EXPECT_EQ(pixels->bytesPerLine, 12);
  EXPECT_EQ(pixels->bytes, (Bytes{10, 20, 30, 255, 255, 255, 127, 127, 127, 244, 224, 204}));
}

TEST(PixelsOverWhite, NarrowsToGreyOrBitsWhenThereIsNoColour) {
  const RasterImage grey{
      .width = 2, .height = 2, .rgba = {9, 9, 9, 255, 0, 0, 0, 0, 0, 0, 0, 128, 77, 77, 77, 255}};
  const auto greyPixels = pixelsOverWhite(grey);
  ASSERT_TRUE(greyPixels.has_value());
  EXPECT_EQ(greyPixels->bytesPerPixel, 1);
  EXPECT_EQ(greyPixels->bytesPerLine, 2);
  EXPECT_EQ(greyPixels->bytes, (Bytes{9, 255, 127, 77}));

  // Two rows of nine: black, then white from transparency, then black...
  RasterImage bw{.width = 9, .height = 2, .rgba = {}};
  for (int i = 0; i < 18; ++i) {
    const bool transparent = i % 2 == 1;
    bw.rgba.insert(bw.rgba.end(), {0, 0, 0, static_cast<std::uint8_t>(transparent ? 0 : 255)});
  }
  const auto bits = pixelsOverWhite(bw);
  ASSERT_TRUE(bits.has_value());
  EXPECT_EQ(bits->bytesPerPixel, 0);
  EXPECT_EQ(bits->bytesPerLine, 2);
  EXPECT_EQ(bits->bytes, (Bytes{0b01010101, 0b00000000, 0b10101010, 0b10000000}));
}

TEST(PixelsOverWhite, RefusesEmptyOrMismatchedImages) {
  EXPECT_FALSE(pixelsOverWhite(RasterImage{}).has_value());
  EXPECT_FALSE(pixelsOverWhite(RasterImage{.width = 2, .height = 1, .rgba = {0, 0, 0, 0}}));
  EXPECT_FALSE(pixelsOverWhite(RasterImage{.width = -1, .height = -4, .rgba = {0, 0, 0, 0}}));
}

}  // namespace
}  // namespace sorvi
