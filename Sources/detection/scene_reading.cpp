#include "detection/scene_reading.h"

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "detection/page_words.h"

namespace sorvi {
namespace {

// Enough lines to tell a page that reads well line by line from one that
// does not, at a small share of the cost of a long page.
constexpr std::size_t kSampleLines = 6;

EngineObservation readOne(LineReader& reader, const RasterImage& image, const TextBox& box,
                          const std::vector<EngineWord>& pageWords,
                          const std::atomic<bool>& abandoned) {
  std::optional<LineReading> line = lineFromPageWords(box, pageWords);
  if (!line) line = reader.readLine(image, box, abandoned);
  EngineObservation observation;
  if (line) {
    observation.confidence = line->confidence;
    observation.topCandidate = std::move(line->text);
  }
  return observation;
}

}  // namespace

EngineOutput readLines(LineReader& reader, const RasterImage& image,
                       const std::vector<TextBox>& lines, const std::vector<EngineWord>& pageWords,
                       const std::atomic<bool>& abandoned, const SampleJudge& worthReadingRest) {
  const std::size_t count = lines.size();
  std::vector<std::optional<EngineObservation>> read(count);
  if (count > kSampleLines) {
    EngineOutput sample{.failed = false, .results = std::vector<EngineObservation>{}};
    for (std::size_t i = 0; i < kSampleLines; ++i) {
      if (abandoned) return {.failed = true, .results = std::nullopt};
      const std::size_t index = i * count / kSampleLines;
      read[index] = readOne(reader, image, lines[index], pageWords, abandoned);
      sample.results->push_back(*read[index]);
    }
    if (abandoned) return {.failed = true, .results = std::nullopt};
    const double share = static_cast<double>(kSampleLines) / static_cast<double>(count);
    if (!worthReadingRest(sample, share)) return {.failed = false, .results = std::nullopt};
  }
  std::vector<EngineObservation> observations;
  observations.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (abandoned) return {.failed = true, .results = std::nullopt};
    observations.push_back(read[i] ? std::move(*read[i])
                                   : readOne(reader, image, lines[i], pageWords, abandoned));
  }
  return {.failed = false, .results = std::move(observations)};
}

}  // namespace sorvi
