#include "platform/tesseract/tesseract_pixels.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PixelsOverWhite, CompositesOverWhiteAndNarrowsToGreyOrBitsWhenThereIsNoColour) {
  // Two rows of nine alternating opaque black and transparent (white) pixels.
  RasterImage bits{.width = 9, .height = 2, .rgba = {}};
  for (int i = 0; i < 18; ++i)
    bits.rgba.insert(bits.rgba.end(), {0, 0, 0, static_cast<uint8_t>(i % 2 == 1 ? 0 : 255)});
  // Named, not built in the table: GCC 12 at -O3 takes the table's
  // temporaries for uninitialised.
  const RasterImage colour{.width = 4,
                           .height = 1,
                           .rgba = {10, 20, 30, 255, 0, 0, 0, 0, 0, 0, 0, 128, 200, 100, 0, 51}};
  const RasterImage grey{
      .width = 2, .height = 2, .rgba = {9, 9, 9, 255, 0, 0, 0, 0, 0, 0, 0, 128, 77, 77, 77, 255}};
  const struct {
    const RasterImage& image;
    int bytesPerPixel, bytesPerLine;
    Bytes bytes;
  } cases[] = {
      {colour, 3, 12, {10, 20, 30, 255, 255, 255, 127, 127, 127, 244, 224, 204}},
      {grey, 1, 2, {9, 255, 127, 77}},
      {bits, 0, 2, {0b01010101, 0b00000000, 0b10101010, 0b10000000}},
  };
  for (const auto& c : cases) {
    const auto pixels = pixelsOverWhite(c.image);
    ASSERT_TRUE(pixels.has_value());
    EXPECT_EQ(pixels->bytesPerPixel, c.bytesPerPixel);
    EXPECT_EQ(pixels->bytesPerLine, c.bytesPerLine);
    EXPECT_EQ(pixels->bytes, c.bytes);
    EXPECT_EQ(pixels->width, c.image.width);
  }
}

TEST(PixelsOverWhite, CutsAMostlyWhitePageDownToItsPrintAndFindsNothingInABlankImage) {
  // One grey pixel at (150, 2) of a white 200 x 200 image.
  RasterImage image{.width = 200, .height = 200, .rgba = Bytes(200UL * 200 * 4, 255)};
  image.rgba[(2UL * 200 + 150) * 4] = 0;
  auto pixels = pixelsOverWhite(image);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_EQ(pixels->bytesPerPixel, 3);
  EXPECT_EQ((std::vector<int>{pixels->left, pixels->top, pixels->width, pixels->height}),
            (std::vector<int>{102, 0, 97, 51}));
  EXPECT_EQ(pixels->bytes.size(), 97U * 51U * 3U);
  EXPECT_EQ(pixels->bytes[(2UL * 97 + 48) * 3], 0);
  EXPECT_FALSE(pixels->blank());

  // Spread over the page, the print keeps its margin.
  image.rgba[(190UL * 200 + 10) * 4] = 0;
  pixels = pixelsOverWhite(image);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_EQ((std::vector<int>{pixels->left, pixels->top, pixels->width, pixels->height}),
            (std::vector<int>{0, 0, 200, 200}));

  image.rgba[(190UL * 200 + 10) * 4] = 255;
  image.rgba[(2UL * 200 + 150) * 4] = 255;
  pixels = pixelsOverWhite(image);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_TRUE(pixels->blank());
}

TEST(PixelsOverWhite, RefusesEmptyOrMismatchedImages) {
  EXPECT_FALSE(pixelsOverWhite(RasterImage{}).has_value());
  EXPECT_FALSE(pixelsOverWhite(RasterImage{.width = 2, .height = 1, .rgba = {0, 0, 0, 0}}));
  EXPECT_FALSE(pixelsOverWhite(RasterImage{.width = -1, .height = -4, .rgba = {0, 0, 0, 0}}));
}

}  // namespace
}  // namespace sorvi
