// Encodes records built from arbitrary bytes and reads each line back with a
// real JSON parser (which refuses invalid UTF-8): one object with exactly the
// members set, strings as ICU makes the input valid UTF-8, the confidence to
// the bit, no raw control byte or unescaped solidus. A non-finite confidence
// gives no line.
#include <unicode/unistr.h>

#include <fuzzer/FuzzedDataProvider.h>
#include <bit>
#include <cmath>
#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "output/json_encoder.h"

namespace {

using nlohmann::json;
using sorvi::fuzz::check;

void checkMember(const json& object, const char* key, const std::optional<std::string>& value,
                 const std::string& line) {
  std::string valid;
  if (value) icu::UnicodeString::fromUTF8(*value).toUTF8String(valid);
  check(object.contains(key) == value.has_value() && (!value || object[key] == valid), key, line);
}

}  // namespace

// Input: a byte of flags (text, confidence, exif, date, gps, error), eight
// bytes of confidence (little-endian IEEE bits) when flagged, then path,
// text, date, gps and error, each ended by "\x" as FuzzedDataProvider reads.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint8_t flags = size > 0 ? input.ConsumeBytes<uint8_t>(1)[0] : 0;
  const auto string = [&](int bit) -> std::optional<std::string> {
    if ((flags >> bit & 1) == 0) return std::nullopt;
    return input.ConsumeRandomLengthString();
  };
  sorvi::OcrResult record;
  if ((flags & 2) != 0) {
    std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(8);
    bytes.resize(8);
    uint64_t bits = 0;
    for (int k = 7; k >= 0; --k) bits = bits << 8 | bytes[k];
    record.confidence = std::bit_cast<double>(bits);
  }
  record.path = input.ConsumeRandomLengthString();
  record.text = string(0);
  if ((flags & 4) != 0) record.exif = sorvi::ExifData{string(3), string(4)};
  record.error = string(5);

  const std::optional<std::string> line = sorvi::JsonEncoder{}.encode(record);
  if (record.confidence && !std::isfinite(*record.confidence)) {
    check(!line, "non-finite confidence was written", line.value_or(""));
    return 0;
  }
  check(line.has_value(), "a writable record was refused");
  for (size_t i = 0; i < line->size(); ++i) {
    const auto c = static_cast<unsigned char>((*line)[i]);
    check(c >= 0x20 && c != '/', "raw control byte or unescaped solidus", *line);
    i += c == '\\' ? 1 : 0;  // past the escaped character
  }
  const json object = json::parse(*line, nullptr, false);
  check(object.is_object() &&
            object.size() == 1U + record.text.has_value() + record.confidence.has_value() +
                                 record.exif.has_value() + record.error.has_value(),
        "not one object of the members set", *line);
  checkMember(object, "path", record.path, *line);
  checkMember(object, "text", record.text, *line);
  checkMember(object, "error", record.error, *line);
  check(!record.confidence || std::bit_cast<uint64_t>(object.value("confidence", 0.5)) ==
                                  std::bit_cast<uint64_t>(*record.confidence),
        "confidence does not read back to the bit", *line);
  if (record.exif) {
    const json exif = object.value("exif", json());
    check(exif.is_object() &&
              exif.size() == record.exif->date_taken.has_value() + record.exif->gps.has_value(),
          "exif members", *line);
    checkMember(exif, "date_taken", record.exif->date_taken, *line);
    checkMember(exif, "gps", record.exif->gps, *line);
  }
  return 0;
}
