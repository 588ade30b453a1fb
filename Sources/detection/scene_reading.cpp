#include "detection/scene_reading.h"

#include <optional>
#include <utility>
#include <vector>

namespace sorvi {

EngineOutput readLines(LineReader& reader, const RasterImage& image,
                       const std::vector<TextBox>& lines, const std::atomic<bool>& abandoned) {
  std::vector<EngineObservation> observations;
  observations.reserve(lines.size());
  for (const TextBox& box : lines) {
    if (abandoned) return {.failed = true, .results = std::nullopt};
    std::optional<LineReading> line = reader.readLine(image, box, abandoned);
    if (line) {
      observations.push_back(
          {.isText = true, .confidence = line->confidence, .topCandidate = std::move(line->text)});
    } else {
      observations.push_back({.isText = true, .confidence = 0.0F, .topCandidate = std::nullopt});
    }
  }
  return {.failed = false, .results = std::move(observations)};
}

}  // namespace sorvi
