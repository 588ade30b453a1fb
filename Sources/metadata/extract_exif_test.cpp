#include "metadata/extract_exif.h"

#include <cstdlib>
#include <ctime>
#include <limits>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

ImageProperties withGps(PropertyValue latitude, PropertyValue latitudeRef, PropertyValue longitude,
                        PropertyValue longitudeRef) {
  ImageProperties properties;
  properties.gps = PropertyGroup{{kGpsLatitude, std::move(latitude)},
                                 {kGpsLatitudeRef, std::move(latitudeRef)},
                                 {kGpsLongitude, std::move(longitude)},
                                 {kGpsLongitudeRef, std::move(longitudeRef)}};
  return properties;
}

std::optional<std::string> gpsOf(const ImageProperties& properties) {
  const auto data = extractExif(properties);
  return data ? data->gps : std::nullopt;
}

ImageProperties withDate(PropertyValue date) {
  ImageProperties properties;
  properties.exif = PropertyGroup{{kExifDateTimeOriginal, std::move(date)}};
  return properties;
}

class ExtractExifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("TZ")) savedZone_ = old;
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  void TearDown() override {
    if (savedZone_) {
      setenv("TZ", savedZone_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> savedZone_;
};

TEST_F(ExtractExifTest, NothingFoundIsAbsent) {
  EXPECT_EQ(extractExif(std::nullopt), std::nullopt);
  EXPECT_EQ(extractExif(ImageProperties{}), std::nullopt);
  ImageProperties emptyGroups;
  emptyGroups.exif = PropertyGroup{{"Other", std::string("x")}};
  emptyGroups.gps = PropertyGroup{};
  EXPECT_EQ(extractExif(emptyGroups), std::nullopt);
  EXPECT_EQ(extractExif(withDate(OtherKindValue{})), std::nullopt);
  EXPECT_EQ(extractExif(withDate(2023.0)), std::nullopt);
}

TEST_F(ExtractExifTest, DateIsConvertedOrKeptAsStored) {
  const auto date = [](const char* stored) { return extractExif(withDate(std::string(stored))); };
  EXPECT_EQ(date("2023:06:15 14:34:56")->date_taken, "2023-06-15T14:34:56Z");
  EXPECT_EQ(date("    :  :     :  :  ")->date_taken, "    :  :     :  :  ");
  EXPECT_EQ(date("2023-06-15T14:34:56")->date_taken, "2023-06-15T14:34:56");
  EXPECT_EQ(date("\xFF\xFE")->date_taken, "\xFF\xFE");  // made valid UTF-8 only when encoded
  // An empty text is still a date, and the record is given without a position.
  const auto empty = date("");
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->date_taken, "");
  EXPECT_EQ(empty->gps, std::nullopt);
}

TEST_F(ExtractExifTest, PositionFollowsTheReferencesExactly) {
  const std::string north = "N";
  const std::string east = "E";
  EXPECT_EQ(gpsOf(withGps(48.8583701, north, 2.2944813, east)), "48.858370,2.294481");
  EXPECT_EQ(gpsOf(withGps(33.8568, std::string("S"), 151.2153, east)), "-33.856800,151.215300");
  EXPECT_EQ(gpsOf(withGps(40.7, north, 74.0, std::string("W"))), "40.700000,-74.000000");
  EXPECT_EQ(gpsOf(withGps(33.8568, std::string("S"), 70.5, std::string("W"))),
            "-33.856800,-70.500000");
  // Only the exact upper-case letter negates.
  for (const char* notSouth : {"s", "South", "S ", " S", "", "N", "SS"}) {
    EXPECT_EQ(gpsOf(withGps(1.5, std::string(notSouth), 2.5, std::string("w"))),
              "1.500000,2.500000")
        << notSouth;
  }
  EXPECT_EQ(gpsOf(withGps(0.0, std::string("S"), 0.0, std::string("W"))), "-0.000000,-0.000000");
  // The stored sign is not looked at: the reference negates whatever is there.
  EXPECT_EQ(gpsOf(withGps(-33.5, std::string("S"), -70.25, east)), "33.500000,-70.250000");
  // Six decimals, rounded.
  EXPECT_EQ(gpsOf(withGps(1.0000005, north, 179.9999999, east)), "1.000001,180.000000");
}

TEST_F(ExtractExifTest, AnyMissingOrWrongKindGpsEntryLeavesThePositionOut) {
  const PropertyValue text = std::string("48.8583701");
  const PropertyValue other = OtherKindValue{};
  const std::string n = "N";
  const std::string e = "E";
  EXPECT_EQ(gpsOf(withGps(text, n, 2.0, e)), std::nullopt);  // latitude stored as text
  EXPECT_EQ(gpsOf(withGps(other, n, 2.0, e)), std::nullopt);
  EXPECT_EQ(gpsOf(withGps(1.0, n, text, e)), std::nullopt);
  EXPECT_EQ(gpsOf(withGps(1.0, 1.0, 2.0, e)), std::nullopt);
  EXPECT_EQ(gpsOf(withGps(1.0, n, 2.0, other)), std::nullopt);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_EQ(gpsOf(withGps(1.0, n, nan, e)), std::nullopt);
  EXPECT_EQ(gpsOf(withGps(-infinity, n, 2.0, e)), std::nullopt);
  for (const char* missing : {kGpsLatitude, kGpsLatitudeRef, kGpsLongitude, kGpsLongitudeRef}) {
    ImageProperties properties = withGps(1.0, n, 2.0, e);
    properties.gps->erase(missing);
    EXPECT_EQ(extractExif(properties), std::nullopt) << missing;
  }
}

TEST_F(ExtractExifTest, DateAndPositionAreFoundIndependently) {
  ImageProperties both = withGps(1.0, std::string("N"), 2.0, std::string("E"));
  both.exif = PropertyGroup{{kExifDateTimeOriginal, std::string("2023:06:15 14:34:56")}};
  const auto full = extractExif(both);
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ(full->date_taken, "2023-06-15T14:34:56Z");
  EXPECT_EQ(full->gps, "1.000000,2.000000");

  both.gps->erase(kGpsLongitudeRef);
  const auto dateOnly = extractExif(both);
  ASSERT_TRUE(dateOnly.has_value());
  EXPECT_EQ(dateOnly->date_taken, "2023-06-15T14:34:56Z");
  EXPECT_EQ(dateOnly->gps, std::nullopt);

  ImageProperties gpsOnly = withGps(1.0, std::string("N"), 2.0, std::string("E"));
  gpsOnly.exif = PropertyGroup{{kExifDateTimeOriginal, OtherKindValue{}}};
  const auto position = extractExif(gpsOnly);
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(position->date_taken, std::nullopt);
  EXPECT_EQ(position->gps, "1.000000,2.000000");
}

}  // namespace
}  // namespace sorvi
