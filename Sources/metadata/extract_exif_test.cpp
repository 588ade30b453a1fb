#include "metadata/extract_exif.h"

#include <limits>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using Value = PropertyValue;

std::optional<std::string> gpsOf(Value latitude, Value latitudeRef, Value longitude,
                                 Value longitudeRef, const char* without = "") {
  ImageProperties properties;
  properties.gps = PropertyGroup{{kGpsLatitude, std::move(latitude)},
                                 {kGpsLatitudeRef, std::move(latitudeRef)},
                                 {kGpsLongitude, std::move(longitude)},
                                 {kGpsLongitudeRef, std::move(longitudeRef)}};
  properties.gps->erase(without);
  const auto data = extractExif(properties);
  EXPECT_TRUE(!data || !data->date_taken);
  return data ? data->gps : std::nullopt;
}

TEST(ExtractExif, PositionFollowsTheReferencesExactly) {
  const Value n = std::string("N"), e = std::string("E"), s = std::string("S");
  EXPECT_EQ(gpsOf(33.8568, s, 70.5, std::string("W")), "-33.856800,-70.500000");
  EXPECT_EQ(gpsOf(1.0000005, n, 179.9999999, e), "1.000001,180.000000");
  for (const char* notSouth : {"s", "South", "S ", " S", "", "SS"}) {
    EXPECT_EQ(gpsOf(1.5, std::string(notSouth), 2.5, std::string("w")), "1.500000,2.500000")
        << notSouth;
  }
  // Any entry missing or of another kind, or a number that is not finite,
  // leaves the position out.
  const Value other = OtherKindValue{};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(gpsOf(1.0, n, std::string("2.0"), e), std::nullopt);
  EXPECT_EQ(gpsOf(1.0, 1.0, 2.0, e), std::nullopt);
  EXPECT_EQ(gpsOf(1.0, n, 2.0, other), std::nullopt);
  EXPECT_EQ(gpsOf(1.0, n, nan, e), std::nullopt);
  EXPECT_EQ(gpsOf(-inf, n, 2.0, e), std::nullopt);
  for (const char* key : {kGpsLatitude, kGpsLatitudeRef, kGpsLongitude, kGpsLongitudeRef}) {
    EXPECT_EQ(gpsOf(1.0, n, 2.0, e, key), std::nullopt) << key;
  }
}

TEST(ExtractExif, ADateOfAnotherKindOrNothingFoundIsAbsent) {
  EXPECT_EQ(extractExif(std::nullopt), std::nullopt);
  EXPECT_EQ(extractExif(ImageProperties{}), std::nullopt);
  ImageProperties properties;
  properties.gps = PropertyGroup{};
  for (const Value& date : {Value(OtherKindValue{}), Value(2023.0)}) {
    properties.exif = PropertyGroup{{"Other", std::string("x")}, {kExifDateTimeOriginal, date}};
    EXPECT_EQ(extractExif(properties), std::nullopt);
  }
  // Kept as stored; made valid UTF-8 only when encoded.
  properties.exif = PropertyGroup{{kExifDateTimeOriginal, std::string("\xFF\xFE")}};
  EXPECT_EQ(extractExif(properties)->date_taken, "\xFF\xFE");
}

}  // namespace
}  // namespace sorvi
