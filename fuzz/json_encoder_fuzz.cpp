// Encodes records built from arbitrary bytes and reads each line back with a
// real JSON parser (which refuses invalid UTF-8): no raw control byte or
// unescaped solidus, exactly the members that were set, strings as given
// after U+FFFD substitution (which must agree with ICU's), the confidence to
// the bit.
#include <unicode/unistr.h>

#include <fuzzer/FuzzedDataProvider.h>
#include <bit>
#include <cmath>
#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "output/json_encoder.h"
#include "output/utf8.h"

namespace sorvi::fuzz {
namespace {

using nlohmann::json;

// One byte of flags (text, confidence, exif, date, gps, error), eight raw
// bytes of confidence when flagged, then the strings, each ended by "\x".
OcrResult decodeRecord(FuzzedDataProvider& input) {
  const std::vector<uint8_t> head = input.ConsumeBytes<uint8_t>(1);
  const uint8_t flags = head.empty() ? 0 : head[0];
  const auto string = [&](int bit) -> std::optional<std::string> {
    if ((flags & (1 << bit)) == 0) return std::nullopt;
    return input.ConsumeRandomLengthString();
  };
  OcrResult record;
  if ((flags & 2) != 0) {
    std::vector<uint8_t> bits = input.ConsumeBytes<uint8_t>(8);  // little-endian
    bits.resize(8);
    uint64_t raw = 0;
    for (int k = 7; k >= 0; --k) raw = (raw << 8) | bits[k];
    record.confidence = std::bit_cast<double>(raw);
  }
  record.path = input.ConsumeRandomLengthString();
  record.text = string(0);
  if ((flags & 4) != 0) record.exif = ExifData{string(3), string(4)};
  record.error = string(5);
  return record;
}

void checkString(const json& object, const char* key, const std::optional<std::string>& expected,
                 const std::string& line) {
  check(object.contains(key) == expected.has_value(), "member present iff set", line);
  if (!expected) return;
  std::string viaIcu;
  icu::UnicodeString::fromUTF8(*expected).toUTF8String(viaIcu);
  check(toValidUtf8(*expected) == viaIcu, "substitution differs from ICU", *expected);
  check(object.at(key).is_string() && object.at(key).get<std::string>() == viaIcu,
        "string changed", line);
}

void checkRecord(const OcrResult& record) {
  const std::optional<std::string> line = JsonEncoder{}.encode(record);
  if (record.confidence && !std::isfinite(*record.confidence)) {
    check(!line, "non-finite confidence was written", line.value_or(""));
    return;
  }
  check(line.has_value(), "a writable record was refused");
  for (size_t i = 0; i < line->size(); ++i) {
    const auto c = static_cast<unsigned char>((*line)[i]);
    check(c >= 0x20 && c != '/', "raw control byte or unescaped solidus", *line);
    i += c == '\\' ? 1 : 0;  // past the escaped character
  }
  const json object = json::parse(*line, nullptr, false);
  check(object.is_object(), "line does not parse as an object", *line);
  check(object.size() == 1U + record.text.has_value() + record.confidence.has_value() +
                             record.exif.has_value() + record.error.has_value(),
        "wrong number of members", *line);
  checkString(object, "path", record.path, *line);
  checkString(object, "text", record.text, *line);
  checkString(object, "error", record.error, *line);
  check(object.contains("confidence") == record.confidence.has_value(), "confidence", *line);
  if (record.confidence) {
    check(object["confidence"].is_number() &&
              std::bit_cast<uint64_t>(object["confidence"].get<double>()) ==
                  std::bit_cast<uint64_t>(*record.confidence),
          "confidence does not read back to the bit", *line);
  }
  check(object.contains("exif") == record.exif.has_value(), "exif", *line);
  if (record.exif) {
    const json& exif = object["exif"];
    check(exif.is_object() && exif.size() == record.exif->date_taken.has_value() +
                                                 record.exif->gps.has_value(),
          "wrong exif members", *line);
    checkString(exif, "date_taken", record.exif->date_taken, *line);
    checkString(exif, "gps", record.exif->gps, *line);
  }
}

}  // namespace
}  // namespace sorvi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  sorvi::fuzz::checkRecord(sorvi::fuzz::decodeRecord(input));
  return 0;
}
