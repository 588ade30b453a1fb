#include "detection/scene_reading.h"

#include <optional>
#include <utility>
#include <vector>

#include "detection/reading_order.h"

namespace sorvi {

EngineOutput readDetectedLines(TextDetector& detector, LineReader& reader, const RasterImage& image,
                               const std::atomic<bool>& abandoned) {
  std::optional<std::vector<TextBox>> boxes = detector.detect(image, abandoned);
  if (!boxes || abandoned) {
    return {.failed = true, .results = std::nullopt};
  }
  std::vector<EngineObservation> lines;
  lines.reserve(boxes->size());
  for (const TextBox& box : inReadingOrder(std::move(*boxes))) {
    if (abandoned) {
      return {.failed = true, .results = std::nullopt};
    }
    std::optional<LineReading> line = reader.readLine(image, box, abandoned);
    if (line) {
      lines.push_back({.isText = true, .confidence = line->confidence, .topCandidate = line->text});
    } else {
      lines.push_back({.isText = true, .confidence = 0.0F, .topCandidate = std::nullopt});
    }
  }
  return {.failed = false, .results = std::move(lines)};
}

}  // namespace sorvi
