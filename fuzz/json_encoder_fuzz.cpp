// Encoded records read back with a real JSON parser. See README.md.
#include <unicode/unistr.h>

#include <array>
#include <bit>
#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "output/json_encoder.h"

// Input: flags, the confidence's bits when flagged, then strings (README.md).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using sorvi::fuzz::check;
  FuzzedDataProvider input(data, size);
  const uint8_t flags = size > 0 ? input.ConsumeBytes<uint8_t>(1)[0] : 0;
  const auto string = [&](int bit) {
    return (flags >> bit & 1) != 0 ? std::optional(input.ConsumeRandomLengthString())
                                   : std::nullopt;
  };
  sorvi::OcrResult record;
  if ((flags & 2) != 0) {
    std::array<uint8_t, 8> bits{};  // read on a little-endian machine
    input.ConsumeData(bits.data(), std::min<size_t>(bits.size(), input.remaining_bytes()));
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
  for (size_t i = 0; i < line->size(); i += (*line)[i] == '\\' ? 2 : 1) {  // past escapes
    check(static_cast<unsigned char>((*line)[i]) >= 0x20 && (*line)[i] != '/',
          "raw control byte or unescaped solidus", *line);
  }
  nlohmann::json expected;  // the members set, strings made valid UTF-8 by ICU
  const auto put = [](nlohmann::json& object, const char* key,
                      const std::optional<std::string>& value) {
    std::string valid;
    if (value) object[key] = icu::UnicodeString::fromUTF8(*value).toUTF8String(valid);
  };
  put(expected, "path", record.path);
  put(expected, "text", record.text);
  if (record.confidence) expected["confidence"] = *record.confidence;
  if (record.exif)
    put(expected["exif"] = nlohmann::json::object(), "date_taken", record.exif->date_taken);
  if (record.exif) put(expected["exif"], "gps", record.exif->gps);
  put(expected, "error", record.error);
  const nlohmann::json object = nlohmann::json::parse(*line, nullptr, false);
  check(object == expected, "not the members set", *line);
  check(!record.confidence || std::bit_cast<uint64_t>(object.value("confidence", 0.5)) ==
                                  std::bit_cast<uint64_t>(*record.confidence),
        "confidence does not read back to the bit", *line);
  return 0;
}
