#include "metadata/capture_date.h"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

void useZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

TEST(CaptureDate, ReadsLocalWallClockTimeAndWritesUtc) {
  useZone("UTC0");
  EXPECT_EQ(captureDateToUtc("2024:02:29 23:59:59"), "2024-02-29T23:59:59Z");
  EXPECT_EQ(captureDateToUtc("0987:01:02 03:04:05"), "0987-01-02T03:04:05Z");
  useZone("XST-2");
  EXPECT_EQ(captureDateToUtc("2024:01:01 01:30:00"), "2023-12-31T23:30:00Z");
  useZone("CET-1CEST,M3.5.0,M10.5.0/3");
  // A time in the spring-forward gap still gives some moment near it.
  EXPECT_TRUE(captureDateToUtc("2023:03:26 02:30:00").has_value());
}

TEST(CaptureDate, RefusesAnythingButTheExactPatternWithAValidDate) {
  useZone("UTC0");
  for (const char* text : {"",
                           "    :  :     :  :  ",
                           "0000:00:00 00:00:00",
                           "2023:06:15",
                           "2023-06-15 14:34:56",
                           "2023-06-15T14:34:56Z",
                           "2023:06:15T14:34:56",
                           " 2023:06:15 14:34:56",
                           "2023:06:15 14:34:56 ",
                           "2023:06:15 14:34:56\n",
                           "2023:6:15 14:34:56",
                           "2023:06:15  4:34:56",
                           "+023:06:15 14:34:56",
                           "2023:13:01 00:00:00",
                           "2023:00:10 00:00:00",
                           "2023:02:29 00:00:00",
                           "1900:02:29 00:00:00",
                           "2023:04:31 00:00:00",
                           "2023:06:00 00:00:00",
                           "2023:06:15 24:00:00",
                           "2023:06:15 14:60:00",
                           "2023:06:15 14:34:60",
                           "abcd:ef:gh ij:kl:mn"}) {
    EXPECT_EQ(captureDateToUtc(text), std::nullopt) << '"' << text << '"';
  }
  EXPECT_EQ(captureDateToUtc(std::string_view("2023:06:15 14:34:5\0", 19)), std::nullopt);
}

}  // namespace
}  // namespace sorvi
