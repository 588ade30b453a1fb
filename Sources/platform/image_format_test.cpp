#include "platform/image_format.h"

#include <string_view>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

std::optional<ImageFormat> formatOf(std::string_view bytes) {
  return detectImageFormat(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

TEST(ImageFormat, IsFoundFromTheLeadingBytesOnly) {
  using namespace std::string_view_literals;
  EXPECT_EQ(formatOf("\x89PNG\r\n\x1A\n...."sv), ImageFormat::png);
  EXPECT_EQ(formatOf("\xFF\xD8\xFF\xE0"sv), ImageFormat::jpeg);
  EXPECT_EQ(formatOf("II*\0\x08\0\0\0"sv), ImageFormat::tiff);
  EXPECT_EQ(formatOf("MM\0*\0\0\0\x08"sv), ImageFormat::tiff);
  EXPECT_EQ(formatOf("II+\0\x08\0\0\0"sv), ImageFormat::tiff);
  EXPECT_EQ(formatOf("RIFF\x24\0\0\0WEBPVP8 "sv), ImageFormat::webp);
  EXPECT_EQ(formatOf("\0\0\0\x18"
                     "ftypheic"sv),
            ImageFormat::heif);

  EXPECT_EQ(formatOf(""sv), std::nullopt);
  EXPECT_EQ(formatOf("\x89PNG"sv), std::nullopt);
  EXPECT_EQ(formatOf("RIFF\x24\0\0\0WAVEfmt "sv), std::nullopt);
  EXPECT_EQ(formatOf("GIF89a"sv), std::nullopt);
  EXPECT_EQ(formatOf("%PDF-1.7"sv), std::nullopt);
  EXPECT_EQ(formatOf("hello, world"sv), std::nullopt);
}

}  // namespace
}  // namespace sorvi
