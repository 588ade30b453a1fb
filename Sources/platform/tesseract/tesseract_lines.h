#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorvi {

// True for a line with nothing but spaces: Tesseract reports such lines for
// image regions and empty blocks; they hold no recognised text.
bool isBlankLine(std::string_view line);

// A text line gathered word by word, as Tesseract would give it: words
// joined by single spaces, its confidence the mean of theirs (0 to 100).
class TextLineWords {
 public:
  void add(std::string_view word, float confidence);
  [[nodiscard]] const std::string& text() const { return text_; }
  // None when a word's confidence was clipped at zero, which hides how low
  // it was.
  [[nodiscard]] std::optional<float> meanConfidence() const;

 private:
  std::string text_;
  float confidenceSum_ = 0.0F;
  int words_ = 0;
  bool clipped_ = false;
};

}  // namespace sorvi
