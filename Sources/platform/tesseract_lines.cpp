#include "platform/tesseract_lines.h"

namespace sorvi {

std::string withoutLineSeparators(std::string_view line) {
  while (!line.empty() && line.back() == '\n') {
    line.remove_suffix(1);
  }
  return std::string(line);
}

bool isBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace sorvi
