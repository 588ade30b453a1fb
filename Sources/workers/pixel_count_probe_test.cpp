#include "workers/pixel_count_probe.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

namespace fs = std::filesystem;

std::optional<std::uint64_t> countOf(const std::string& bytes) {
  return pixelCountFromHeader([&](std::uint64_t offset, std::size_t length) {
    return offset < bytes.size() ? bytes.substr(offset, length) : std::string();
  });
}

TEST(PixelCountProbe, ReadsTheSizeEveryImageFormatStatesInItsHeader) {
  // Every picture of HELLO WORLD, whatever its format, layout or metadata,
  // is 640x220; some are stored turned.
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(SORVI_IMAGE_FIXTURES)) {
    const std::string name = entry.path().filename();
    for (const char* family :
         {"png_", "jpeg_", "tiff_", "webp_", "heic_", "exif_full", "orient_"}) {
      if (name.starts_with(family)) {
        EXPECT_EQ(probePixelCount(entry.path()), 640U * 220U) << name;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 40);
}

TEST(PixelCountProbe, GivesNothingForWhatHasNoReadableHeader) {
  const fs::path fixtures = SORVI_IMAGE_FIXTURES;
  for (const char* name : {"empty.png", "not_heif.heic", "directory.png", "missing.png"}) {
    EXPECT_EQ(probePixelCount(fixtures / name), std::nullopt) << name;
  }
  // A FIFO would block a plain open until a writer came.
  const fs::path fifo = fs::temp_directory_path() / ("probe_fifo_" + std::to_string(::getpid()));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(probePixelCount(fifo), std::nullopt);
  fs::remove(fifo);

  using namespace std::string_literals;
  const std::string bigEndianTiff =
      "MM\0*\0\0\0\x08\0\x02"
      "\x01\x00\0\x04\0\0\0\x01\0\0\x0c\xf0"    // width, a LONG: 3312
      "\x01\x01\0\x03\0\0\0\x01\x09\xf6\0\0"s;  // height, a SHORT: 2550
  EXPECT_EQ(countOf(bigEndianTiff), 3312U * 2550U);
  EXPECT_EQ(countOf(bigEndianTiff.substr(0, 20)), std::nullopt);  // cut in its directory
  // Hostile lengths and offsets end the search instead of running away.
  EXPECT_EQ(countOf("\xFF\xD8\xFF\xE1\xFF\xFF" + std::string(64, '\0')), std::nullopt);
  EXPECT_EQ(countOf("II*\0\xff\xff\xff\xff"s + std::string(8, '\0')), std::nullopt);
  EXPECT_EQ(countOf("\0\0\0\x01"
                    "ftyp\xff\xff\xff\xff\xff\xff\xff\xff"s),
            std::nullopt);
}

}  // namespace
}  // namespace sorvi
