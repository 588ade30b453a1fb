// Encodes records built from arbitrary bytes and reads every line back with
// a real JSON parser: one line, valid UTF-8, the members that were set and
// no others, each value as given (strings after U+FFFD substitution, the
// confidence to the bit).
#include <unicode/unistr.h>

#include <fuzzer/FuzzedDataProvider.h>
#include <bit>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "output/json_encoder.h"
#include "output/ocr_result.h"
#include "output/utf8.h"

namespace sorvi::fuzz {
namespace {

using nlohmann::json;

enum Present : uint8_t {
  kText = 1 << 0,
  kConfidence = 1 << 1,
  kExif = 1 << 2,
  kDateTaken = 1 << 3,
  kGps = 1 << 4,
  kError = 1 << 5,
};

// Layout: one byte of presence flags, eight bytes of confidence (raw IEEE
// bits, little-endian) when flagged, then the strings path, text,
// date_taken, gps and error, each ended by the pair "\x" of
// FuzzedDataProvider (a doubled backslash is one backslash).
OcrResult decodeRecord(FuzzedDataProvider& input) {
  const std::vector<uint8_t> flagByte = input.ConsumeBytes<uint8_t>(1);
  const uint8_t flags = flagByte.empty() ? 0 : flagByte[0];
  OcrResult record;
  if ((flags & kConfidence) != 0) {
    std::vector<uint8_t> bits = input.ConsumeBytes<uint8_t>(8);
    bits.resize(8);
    uint64_t raw = 0;
    for (int k = 7; k >= 0; --k) {
      raw = (raw << 8) | bits[static_cast<size_t>(k)];
    }
    record.confidence = std::bit_cast<double>(raw);
  }
  record.path = input.ConsumeRandomLengthString();
  if ((flags & kText) != 0) {
    record.text = input.ConsumeRandomLengthString();
  }
  if ((flags & kExif) != 0) {
    ExifData exif;
    if ((flags & kDateTaken) != 0) {
      exif.date_taken = input.ConsumeRandomLengthString();
    }
    if ((flags & kGps) != 0) {
      exif.gps = input.ConsumeRandomLengthString();
    }
    record.exif = exif;
  }
  if ((flags & kError) != 0) {
    record.error = input.ConsumeRandomLengthString();
  }
  return record;
}

// The substitution must agree with ICU's, which follows the same practice.
void checkSubstitution(const std::string& bytes) {
  const std::string valid = toValidUtf8(bytes);
  check(isValidUtf8(valid), "toValidUtf8 gave invalid UTF-8", bytes);
  if (isValidUtf8(bytes)) {
    check(valid == bytes, "toValidUtf8 changed valid text", bytes);
  }
  std::string viaIcu;
  icu::UnicodeString::fromUTF8(icu::StringPiece(bytes.data(), static_cast<int32_t>(bytes.size())))
      .toUTF8String(viaIcu);
  check(valid == viaIcu, "toValidUtf8 differs from ICU", bytes);
}

// Raw bytes: nothing below U+0020, no unescaped solidus, and \u escapes only
// for the control characters that have no two-character escape.
void checkEscapes(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    check(c >= 0x20, "raw control byte in line", line);
    check(c != '/', "unescaped solidus", line);
    if (c != '\\') {
      continue;
    }
    check(i + 1 < line.size(), "line ends in an escape", line);
    const char kind = line[++i];
    if (kind != 'u') {
      continue;
    }
    check(i + 4 < line.size(), "short \\u escape", line);
    const unsigned long code = std::stoul(line.substr(i + 1, 4), nullptr, 16);
    check(
        code < 0x20 && code != '\n' && code != '\r' && code != '\t' && code != '\b' && code != '\f',
        "needless \\u escape", line);
    i += 4;
  }
}

void checkString(const json& object, const char* key, const std::optional<std::string>& expected,
                 const std::string& line) {
  if (!expected) {
    check(!object.contains(key), "member written for an absent value", line);
    return;
  }
  check(object.contains(key) && object.at(key).is_string(), "string member missing", line);
  check(object.at(key).get<std::string>() == toValidUtf8(*expected), "string changed", line);
  checkSubstitution(*expected);
}

void checkRecord(const OcrResult& record) {
  const std::optional<std::string> line = JsonEncoder{}.encode(record);
  if (record.confidence && !std::isfinite(*record.confidence)) {
    check(!line, "non-finite confidence was written", line.value_or(""));
    return;
  }
  check(line.has_value(), "a writable record was refused");
  check(isValidUtf8(*line), "line is not valid UTF-8", *line);
  checkEscapes(*line);

  json object;
  try {
    object = json::parse(*line);
  } catch (const json::exception&) {
    fail("line does not parse", *line);
  }
  check(object.is_object(), "line is not an object", *line);
  const size_t members = 1 + (record.text ? 1 : 0) + (record.confidence ? 1 : 0) +
                         (record.exif ? 1 : 0) + (record.error ? 1 : 0);
  check(object.size() == members, "wrong number of members", *line);
  checkString(object, "path", record.path, *line);
  checkString(object, "text", record.text, *line);
  checkString(object, "error", record.error, *line);

  if (record.confidence) {
    check(object.contains("confidence") && object.at("confidence").is_number(),
          "confidence missing", *line);
    const double back = object.at("confidence").get<double>();
    check(std::bit_cast<uint64_t>(back) == std::bit_cast<uint64_t>(*record.confidence),
          "confidence does not read back to the bit", *line);
  }
  if (record.exif) {
    check(object.contains("exif") && object.at("exif").is_object(), "exif missing", *line);
    const json& exif = object.at("exif");
    check(exif.size() == (record.exif->date_taken ? 1U : 0U) + (record.exif->gps ? 1U : 0U),
          "wrong number of exif members", *line);
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
