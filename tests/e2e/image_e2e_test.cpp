#include <cstdlib>

#include <gtest/gtest.h>

#include "tool_run.h"

namespace sorvi::e2e {
namespace {

using nlohmann::json;

std::string image(const std::string& name) { return fixturePath("images/" + name); }

// Runs the tool on fixtures under the time zone `zone` and returns each
// record without its "text" and "confidence", which recognition decides.
std::vector<json> metadataRecords(const std::vector<std::string>& names,
                                  const std::string& zone = "UTC0") {
  unsetenv("TZ");  // the zone below must be the only one the tool sees
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(image(name));
  const ToolRun run = runToolChecked(paths, {"TZ=" + zone});
  std::vector<json> records;
  for (json record : run.records) {
    EXPECT_EQ(record.contains("text"), record.contains("confidence")) << record;
    record.erase("path");
    record.erase("text");
    record.erase("confidence");
    records.push_back(record);
  }
  return records;
}

json exif(const json& members) { return json{{"exif", members}}; }

TEST(ImageEndToEnd, CaptureDateAndPositionAsStored) {
  const json eiffel = {{"date_taken", "2023-06-15T14:34:56Z"}, {"gps", "48.858370,2.294481"}};
  const std::vector<std::pair<std::string, json>> expected = {
      {"exif_full.jpg", exif(eiffel)},
      {"exif_full.png", exif(eiffel)},
      {"exif_full.tiff", exif(eiffel)},
      {"exif_full.webp", exif(eiffel)},
      {"exif_full.heic", exif(eiffel)},
      {"exif_date_only.jpg", exif({{"date_taken", "2023-06-15T14:34:56Z"}})},
      {"exif_gps_only.jpg", exif({{"gps", "48.858370,2.294481"}})},
      {"exif_date_blank.jpg", exif({{"date_taken", "    :  :     :  :  "}})},
      {"exif_date_empty.jpg", exif({{"date_taken", ""}})},
      {"exif_date_iso.jpg", exif({{"date_taken", "2023-06-15T14:34:56"}})},
      {"exif_gps_south_east.jpg", exif({{"gps", "-33.856800,151.215300"}})},
      {"exif_gps_north_west.jpg", exif({{"gps", "40.689200,-74.044500"}})},
      {"exif_gps_south_west.png", exif({{"gps", "-22.951900,-43.210500"}})},
      {"exif_gps_lowercase_refs.jpg", exif({{"gps", "33.856800,70.500000"}})},
      {"exif_gps_zero_south.jpg", exif({{"gps", "-0.000000,0.000000"}})},
      {"exif_gps_negative_south.jpg", exif({{"gps", "33.500000,-70.500000"}})},
      {"exif_gps_other_number_types.jpg", exif({{"gps", "-10.250000,2.500000"}})},
      {"exif_gps_zero_denominator.jpg", exif({{"date_taken", "2020-02-29T23:59:59Z"}})},
      {"exif_gps_no_refs.jpg", json::object()},
      {"exif_gps_latitude_text.jpg", json::object()},
      {"exif_other_tags_only.jpg", json::object()},
      {"png_rgb8.png", json::object()},
  };
  std::vector<std::string> names;
  for (const auto& [name, record] : expected) names.push_back(name);
  const std::vector<json> records = metadataRecords(names);
  ASSERT_EQ(records.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(records[i], expected[i].second) << expected[i].first;
  }
}

TEST(ImageEndToEnd, CaptureDateIsLocalTimeOfTheTimeZoneInForce) {
  const std::vector<std::string> names = {"exif_full.jpg", "exif_gps_zero_denominator.jpg"};
  const auto twoAhead = metadataRecords(names, "XST-2");
  ASSERT_EQ(twoAhead.size(), 2u);
  EXPECT_EQ(twoAhead[0]["exif"]["date_taken"], "2023-06-15T12:34:56Z");
  EXPECT_EQ(twoAhead[1]["exif"]["date_taken"], "2020-02-29T21:59:59Z");

  // Summer time in force in June, not in February.
  const auto paris = metadataRecords(names, "CET-1CEST,M3.5.0,M10.5.0/3");
  ASSERT_EQ(paris.size(), 2u);
  EXPECT_EQ(paris[0]["exif"]["date_taken"], "2023-06-15T12:34:56Z");
  EXPECT_EQ(paris[1]["exif"]["date_taken"], "2020-02-29T22:59:59Z");

  const auto behind = metadataRecords(names, "XST+5");
  ASSERT_EQ(behind.size(), 2u);
  EXPECT_EQ(behind[1]["exif"]["date_taken"], "2020-03-01T04:59:59Z");
}

TEST(ImageEndToEnd, EveryFormatAndVariantLoads) {
  const std::vector<std::string> names = {
      "png_rgb8.png",         "png_grey8.png",          "png_grey16.png",  "png_rgb16.png",
      "png_rgba16.png",       "png_palette.png",        "png_alpha.png",   "png_grey_alpha.png",
      "png_interlaced.png",   "jpeg_rgb.jpg",           "jpeg_grey.jpg",   "jpeg_cmyk.jpg",
      "jpeg_progressive.jpg", "tiff_g4.tiff",           "tiff_g3.tiff",    "tiff_grey16.tiff",
      "tiff_grey12.tiff",     "tiff_rgb12.tiff",        "tiff_rgb16.tiff", "tiff_cmyk.tiff",
      "tiff_ycbcr_jpeg.tiff", "tiff_lab.tiff",          "tiff_tiled.tiff", "tiff_planar.tiff",
      "tiff_alpha.tiff",      "tiff_multipage.tiff",    "webp_lossy.webp", "webp_lossless.webp",
      "webp_alpha.webp",      "webp_animated.webp",     "heic_plain.heic", "png_named.jpg",
      "orient_6.jpg",         "heic_exif_orient_6.heic"};
  for (const json& record : metadataRecords(names)) EXPECT_EQ(record, json::object());
}

TEST(ImageEndToEnd, BrokenMissingAndOversizedFilesCannotBeLoaded) {
  const std::vector<std::string> names = {
      "no_such_file.png", "directory.png", "text.jpg",       "empty.png",         "header_only.png",
      "header_only.jpg",  "bad_crc.png",   "truncated.tiff", "truncated_g4.tiff", "truncated.heic",
      "not_heif.heic",    "huge.png",      "huge.jpg",       "huge.tiff"};
  const std::vector<json> records = metadataRecords(names);
  ASSERT_EQ(records.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(records[i], json({{"error", "Could not load image"}})) << names[i];
  }
}

}  // namespace
}  // namespace sorvi::e2e
