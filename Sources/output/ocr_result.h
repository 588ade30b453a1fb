#pragma once

#include <optional>
#include <string>

namespace sorvi {

// Photo metadata of one image. Absent fields are left out of the JSON.
struct ExifData {
  std::optional<std::string> date_taken;
  std::optional<std::string> gps;
};

// The one record printed for every input path.
struct OcrResult {
  std::string path;
  std::optional<std::string> text;
  std::optional<double> confidence;
  std::optional<ExifData> exif;
  std::optional<std::string> error;
};

}  // namespace sorvi
