#pragma once

#include <optional>
#include <regex>
#include <string>

#include "fuzz_check.h"
#include "output/json_encoder.h"
#include "output/ocr_result.h"

namespace sorvi::fuzz {

// What photo metadata must look like whatever the file held: absent, or at
// least one fact; a position of two finite numbers with six decimals; and a
// record that the JSON writer accepts.
inline void checkExifData(const std::optional<ExifData>& exif) {
  if (!exif) {
    return;
  }
  check(exif->date_taken || exif->gps, "empty metadata record");
  if (exif->gps) {
    static const std::regex kPosition(R"(-?[0-9]+\.[0-9]{6},-?[0-9]+\.[0-9]{6})");
    check(std::regex_match(*exif->gps, kPosition), "position not in the %.6f,%.6f form",
          *exif->gps);
  }
  OcrResult record;
  record.path = "fuzz.jpg";
  record.exif = exif;
  const std::optional<std::string> line = JsonEncoder{}.encode(record);
  check(line.has_value(), "metadata record refused by the writer");
}

}  // namespace sorvi::fuzz
