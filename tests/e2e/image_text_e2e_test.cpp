#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <gtest/gtest.h>

#include "tool_run.h"

namespace sorvi::e2e {
namespace {

using nlohmann::json;

// Lower case with runs of white space made one blank.
std::string normalised(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

TEST(ImageTextEndToEnd, EveryFormatVariantAndOrientationGivesItsTextUpright) {
  const std::vector<std::string> names = {
      "png_rgb8.png",         "png_grey8.png",       "png_grey16.png",
      "png_rgb16.png",        "png_rgba16.png",      "png_palette.png",
      "png_alpha.png",        "png_grey_alpha.png",  "png_interlaced.png",
      "jpeg_rgb.jpg",         "jpeg_grey.jpg",       "jpeg_cmyk.jpg",
      "jpeg_progressive.jpg", "tiff_g4.tiff",        "tiff_g3.tiff",
      "tiff_grey16.tiff",     "tiff_grey12.tiff",    "tiff_rgb12.tiff",
      "tiff_rgb16.tiff",      "tiff_cmyk.tiff",      "tiff_ycbcr_jpeg.tiff",
      "tiff_lab.tiff",        "tiff_tiled.tiff",     "tiff_planar.tiff",
      "tiff_alpha.tiff",      "tiff_multipage.tiff", "webp_lossy.webp",
      "webp_lossless.webp",   "webp_alpha.webp",     "webp_animated.webp",
      "heic_plain.heic",      "exif_full.heic",      "heic_exif_orient_6.heic",
      "png_named.jpg",        "orient_1.jpg",        "orient_2.jpg",
      "orient_3.jpg",         "orient_4.jpg",        "orient_5.jpg",
      "orient_6.jpg",         "orient_7.jpg",        "orient_8.jpg",
      "orient_6.png",         "orient_6.webp",       "orient_8.tiff"};
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(fixturePath("images/" + name));
  const ToolRun run = runToolChecked(paths);
  ASSERT_EQ(run.records.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    const json& record = run.records[i];
    ASSERT_TRUE(record.contains("text")) << names[i] << ": " << record;
    ASSERT_TRUE(record.contains("confidence")) << names[i];
    const std::string text = normalised(record["text"].get<std::string>());
    EXPECT_NE(text.find("hello world"), std::string::npos) << names[i] << ": " << text;
    EXPECT_NE(text.find("quick brown fox"), std::string::npos) << names[i] << ": " << text;
    // Only the first page of a file with several.
    EXPECT_EQ(text.find("second page"), std::string::npos) << names[i] << ": " << text;
    EXPECT_EQ(text.find("never read"), std::string::npos) << names[i] << ": " << text;
  }
}

TEST(ImageTextEndToEnd, DamagedFilesGiveTheTextAboveTheDamageAndTheirMetadata) {
  const json eiffel = {{"date_taken", "2023-06-15T14:34:56Z"}, {"gps", "48.858370,2.294481"}};
  // Cut short at several points, garbage in the scan, a PNG, a WebP and an
  // animated WebP cut short.
  const std::vector<std::pair<std::string, json>> expected = {
      {"cut_55.jpg", eiffel},       {"cut_75.jpg", eiffel}, {"cut_90.jpg", eiffel},
      {"corrupt_scan.jpg", eiffel}, {"cut_70.png", eiffel}, {"truncated.webp", nullptr},
      {"cut_30.webp", nullptr}};
  std::vector<std::string> paths;
  paths.reserve(expected.size());
  for (const auto& [name, exif] : expected) paths.push_back(fixturePath("images/" + name));
  unsetenv("TZ");
  const ToolRun run = runToolChecked(paths, {"TZ=UTC0"});
  ASSERT_EQ(run.records.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const json& record = run.records[i];
    const std::string text = normalised(record.value("text", ""));
    EXPECT_NE(text.find("hello world"), std::string::npos) << paths[i] << ": " << record;
    EXPECT_EQ(record.value("exif", json()), expected[i].second) << paths[i];
  }
}

TEST(ImageTextEndToEnd, PhotoGivesItsTextDateAndPositionInOneRecord) {
  unsetenv("TZ");
  const ToolRun run =
      runTool({sourcePath("samples/cafe_sign_rotated.jpg"), sourcePath("samples/cafe_sign.heic")},
              {"TZ=UTC0"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), 2u) << run.out;
  const std::vector<json> exif = {
      {{"date_taken", "2023-06-15T14:35:10Z"}, {"gps", "43.295100,5.374500"}},
      {{"date_taken", "2023-06-16T09:12:00Z"}, {"gps", "43.295100,5.374500"}}};
  for (std::size_t i = 0; i < 2; ++i) {
    const json& record = run.records[i];
    EXPECT_EQ(record["exif"], exif[i]);
    ASSERT_TRUE(record.contains("text")) << record;
    const std::string text = normalised(record["text"].get<std::string>());
    EXPECT_NE(text.find("cafe du port"), std::string::npos) << text;
    EXPECT_NE(text.find("espresso"), std::string::npos) << text;
    EXPECT_GT(record["confidence"].get<double>(), 0.5);
  }
}

}  // namespace
}  // namespace sorvi::e2e
