#include "platform/tesseract/tesseract_lines.h"

namespace sorvi {

bool isBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

void TextLineWords::add(std::string_view word, float confidence) {
  if (words_ > 0) text_ += ' ';
  text_ += word;
  confidenceSum_ += confidence;
  clipped_ = clipped_ || !(confidence > 0.0F);
  ++words_;
}

std::optional<float> TextLineWords::meanConfidence() const {
  if (clipped_ || words_ == 0) return std::nullopt;
  return confidenceSum_ / static_cast<float>(words_);
}

}  // namespace sorvi
