#include "output/json_encoder.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

std::string encode(const OcrResult& record) {
  return JsonEncoder().encode(record).value_or("refused");
}

OcrResult path(std::string path) { return {std::move(path), {}, {}, {}, {}}; }

TEST(JsonEncoder, WritesPresentMembersInFieldOrder) {
  EXPECT_EQ(encode({"p", std::string("t"), 1.0, ExifData{std::string("d"), std::string("g")}, {}}),
            R"({"path":"p","text":"t","confidence":1,"exif":{"date_taken":"d","gps":"g"}})");
  EXPECT_EQ(encode({"p", std::string(""), {}, ExifData{}, std::string("e")}),
            R"({"path":"p","text":"","exif":{},"error":"e"})");
}

TEST(JsonEncoder, EscapesQuotesSlashesAndControlsAndMendsInvalidUtf8) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"(a/"b"\c)", R"(a\/\"b\"\\c)"},
      {"a\nb\r\t\b\f\x01\x1f\x7f", "a\\nb\\r\\t\\b\\f\\u0001\\u001f\x7f"},
      {std::string("nul\0byte", 8), "nul\\u0000byte"},
      {"Äpfel 日本語 😀", "Äpfel 日本語 😀"},
      // A lone continuation byte, a truncated sequence, an overlong form, a
      // surrogate and a code point past U+10FFFF each become U+FFFD.
      {"a\x80z", "a\uFFFDz"},
      {"a\xE6\x97", "a\uFFFD"},
      {"\xC0\xAF", "\uFFFD\uFFFD"},
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& [raw, escaped] : cases) {
    EXPECT_EQ(encode(path(raw)), "{\"path\":\"" + escaped + "\"}");
  }
}

TEST(JsonEncoder, ConfidenceReadsBackExactlyAndNonFiniteIsRefused) {
  EXPECT_EQ(encode({"p", {}, 0.800000011920929, {}, {}}),
            R"({"path":"p","confidence":0.800000011920929})");
  // With a fraction, so that readers take a float and keep the sign.
  EXPECT_EQ(encode({"p", {}, -0.0, {}, {}}), R"({"path":"p","confidence":-0.0})");
  EXPECT_EQ(encode({"p", {}, 0.0, {}, {}}), R"({"path":"p","confidence":0})");
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 1000; ++i) {
    const double value = i == 0 ? 5e-324 : i == 1 ? 1.7976931348623157e308 : unit(random);
    std::string text;
    ASSERT_TRUE(appendJsonNumber(text, value));
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
  }
  for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(JsonEncoder().encode({"p", std::string("t"), bad, {}, {}}));
  }
}

}  // namespace
}  // namespace sorvi
