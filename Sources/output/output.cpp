#include "output/output.h"

#include <utility>

namespace sorvi {

void Output::outputResult(const std::string& path, std::optional<std::string> text,
                          std::optional<double> confidence, std::optional<ExifData> exif) {
  print(OcrResult{path, std::move(text), confidence, std::move(exif), std::nullopt});
}

void Output::outputError(const std::string& path, std::string_view message) {
  print(OcrResult{path, std::nullopt, std::nullopt, std::nullopt, std::string(message)});
}

void Output::print(const OcrResult& record) {
  const std::optional<std::string> line = encoder_.encode(record);
  if (line) sink_.writeLine(*line);
}

}  // namespace sorvi
