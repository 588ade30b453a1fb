#pragma once

#include <string>
#include <string_view>

namespace sorvi {

// A text line as Tesseract gives it, without the line and paragraph
// separators ("\n") it appends.
std::string withoutLineSeparators(std::string_view line);

// True for a line with nothing but spaces: Tesseract reports such lines for
// image regions and empty blocks; they hold no recognised text.
bool isBlankLine(std::string_view line);

}  // namespace sorvi
