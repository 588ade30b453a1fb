#include "output/json_encoder.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

std::string encodeOk(const OcrResult& record) {
  const auto line = JsonEncoder().encode(record);
  EXPECT_TRUE(line.has_value());
  return line.value_or("");
}

TEST(JsonEncoder, WritesPresentMembersInFieldOrderAndLeavesAbsentOnesOut) {
  EXPECT_EQ(encodeOk({"a", {}, {}, {}, {}}), R"({"path":"a"})");
  EXPECT_EQ(encodeOk({"", {}, {}, {}, std::string("Usage")}), R"({"path":"","error":"Usage"})");
  EXPECT_EQ(encodeOk({"p", std::string(""), 0.5, ExifData{}, {}}),
            R"({"path":"p","text":"","confidence":0.5,"exif":{}})");
  EXPECT_EQ(
      encodeOk({"p",
                std::string("t"),
                1.0,
                ExifData{std::string("2023-06-15T12:34:56Z"), std::string("1.000000,2.000000")},
                {}}),
      R"({"path":"p","text":"t","confidence":1,"exif":{"date_taken":"2023-06-15T12:34:56Z","gps":"1.000000,2.000000"}})");
  EXPECT_EQ(encodeOk({"p", {}, {}, ExifData{{}, std::string("g")}, {}}),
            R"({"path":"p","exif":{"gps":"g"}})");
}

TEST(JsonEncoder, EscapesQuotesSlashesAndControlsButWritesUnicodeRaw) {
  EXPECT_EQ(encodeOk({"photos/a \"b\"\\c.png", {}, {}, {}, {}}),
            R"({"path":"photos\/a \"b\"\\c.png"})");
  EXPECT_EQ(
      encodeOk({"x", std::string("a\nb\r\t\b\f\x01\x1f\x7f"), 0.25, {}, {}}),
      "{\"path\":\"x\",\"text\":\"a\\nb\\r\\t\\b\\f\\u0001\\u001f\x7f\",\"confidence\":0.25}");
  EXPECT_EQ(encodeOk({std::string("nul\0byte", 8), {}, {}, {}, {}}), R"({"path":"nul\u0000byte"})");
  EXPECT_EQ(encodeOk({"Äpfel 日本語 😀", {}, {}, {}, {}}), R"({"path":"Äpfel 日本語 😀"})");
}

TEST(JsonEncoder, ReplacesInvalidUtf8WithReplacementCharacter) {
  // A lone continuation byte, a truncated sequence, an overlong form and a
  // surrogate each become U+FFFD; the valid parts stay.
  EXPECT_EQ(encodeOk({"a\x80z", {}, {}, {}, {}}), "{\"path\":\"a\xEF\xBF\xBDz\"}");
  EXPECT_EQ(encodeOk({"a\xE6\x97", {}, {}, {}, {}}), "{\"path\":\"a\xEF\xBF\xBD\"}");
  EXPECT_EQ(encodeOk({"\xC0\xAF", {}, {}, {}, {}}), "{\"path\":\"\xEF\xBF\xBD\xEF\xBF\xBD\"}");
  EXPECT_EQ(encodeOk({"\xED\xA0\x80", {}, {}, {}, {}}),
            "{\"path\":\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"}");
  EXPECT_EQ(encodeOk({"\xF4\x90\x80\x80", {}, {}, {}, {}}),
            "{\"path\":\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"}");
}

TEST(JsonEncoder, RefusesNonFiniteConfidence) {
  const JsonEncoder encoder;
  EXPECT_FALSE(encoder.encode({"p", std::string("t"), std::nan(""), {}, {}}));
  EXPECT_FALSE(encoder.encode({"p", {}, std::numeric_limits<double>::infinity(), {}, {}}));
  EXPECT_FALSE(encoder.encode({"p", {}, -std::numeric_limits<double>::infinity(), {}, {}}));
}

TEST(JsonEncoder, NumbersReadBackExactly) {
  EXPECT_EQ(encodeOk({"p", {}, 0.800000011920929, {}, {}}),
            R"({"path":"p","confidence":0.800000011920929})");
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 1000; ++i) {
    const double value = i < 2 ? (i == 0 ? 5e-324 : 1.7976931348623157e308) : unit(random);
    std::string text;
    ASSERT_TRUE(appendJsonNumber(text, value));
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
  }
}

TEST(JsonEncoder, NegativeZeroKeepsItsSign) {
  // Written with a fraction so that readers take a float, not the integer 0.
  EXPECT_EQ(encodeOk({"p", {}, -0.0, {}, {}}), R"({"path":"p","confidence":-0.0})");
  EXPECT_EQ(encodeOk({"p", {}, 0.0, {}, {}}), R"({"path":"p","confidence":0})");
  std::string text;
  ASSERT_TRUE(appendJsonNumber(text, -0.0));
  EXPECT_TRUE(std::signbit(std::strtod(text.c_str(), nullptr)));
}

}  // namespace
}  // namespace sorvi
