#pragma once

#include <optional>
#include <string>

#include "output/ocr_result.h"

namespace sorvi {

// Writes records as compact JSON: members in field order, absent members
// left out, slashes escaped, non-ASCII written raw as UTF-8.
class JsonEncoder {
 public:
  // Returns no text when the record cannot be written (a non-finite
  // confidence). Bytes that are not valid UTF-8 become U+FFFD, so every
  // returned text is valid UTF-8.
  [[nodiscard]] std::optional<std::string> encode(const OcrResult& record) const;
};

// Appends `text` as a JSON string literal, quotes included.
void appendJsonString(std::string& out, std::string_view text);

// Appends the shortest decimal form that reads back as the same double.
// Returns false for NaN and infinities, which JSON cannot carry.
bool appendJsonNumber(std::string& out, double value);

}  // namespace sorvi
