#include "detection/scene_reading.h"

#include <algorithm>
#include <cmath>
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
// How much the line reader reads of one image, in line heights of text (its
// work grows with the length of a line over its height): 80 lines of a
// photographed receipt take under 300, a dense page of small print several
// thousand; 300 take about 3 s of one core, well within the time limit. A
// fixed amount of work, not a time, so that the same image gives the same
// reading however busy or slow the machine.
constexpr double kLineHeightsToRead = 300;

// The line's length in heights, as the reader scales it.
double lineHeights(const TextBox& box) {
  const auto& c = box.corners;
  const auto distance = [](ImagePoint a, ImagePoint b) {
    return static_cast<double>(std::hypot(a.x - b.x, a.y - b.y));
  };
  const double length = std::max(distance(c[0], c[1]), distance(c[3], c[2]));
  const double height = std::max(distance(c[0], c[3]), distance(c[1], c[2]));
  return length / std::max(height, 1.0);
}

EngineObservation readOne(LineReader& reader, const RasterImage& image, const TextBox& box,
                          const std::vector<EngineWord>& pageWords, double& heightsLeft,
                          const std::atomic<bool>& abandoned) {
  std::optional<LineReading> line = lineFromPageWords(box, pageWords);
  if (!line) {
    // Past the budget the page reading's words stand, doubtful or not.
    const double heights = lineHeights(box);
    if (heights <= heightsLeft) {
      heightsLeft -= heights;
      line = reader.readLine(image, box, abandoned);
    } else {
      line = pageWordsOnLine(box, pageWords);
    }
  }
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
  double heightsLeft = kLineHeightsToRead;
  std::vector<std::optional<EngineObservation>> read(count);
  if (count > kSampleLines) {
    EngineOutput sample{.failed = false, .results = std::vector<EngineObservation>{}};
    for (std::size_t i = 0; i < kSampleLines; ++i) {
      if (abandoned) return {.failed = true, .results = std::nullopt};
      const std::size_t index = i * count / kSampleLines;
      read[index] = readOne(reader, image, lines[index], pageWords, heightsLeft, abandoned);
      sample.results->push_back(*read[index]);
    }
    if (abandoned) return {.failed = true, .results = std::nullopt};
    const double share = static_cast<double>(kSampleLines) / static_cast<double>(count);
    if (!worthReadingRest(sample, share)) return {.failed = false, .results = std::nullopt};
  }
  // The work goes first to the lines the page reading missed: where it read
  // a line, however doubtfully, its words are there to fall back on.
  for (const bool missedOnly : {true, false}) {
    for (std::size_t i = 0; i < count; ++i) {
      if (abandoned) return {.failed = true, .results = std::nullopt};
      if (read[i] || (missedOnly && pageWordsOnLine(lines[i], pageWords))) continue;
      read[i] = readOne(reader, image, lines[i], pageWords, heightsLeft, abandoned);
    }
  }
  if (abandoned) return {.failed = true, .results = std::nullopt};
  std::vector<EngineObservation> observations;
  observations.reserve(count);
  for (std::optional<EngineObservation>& line : read) observations.push_back(std::move(*line));
  return {.failed = false, .results = std::move(observations)};
}

}  // namespace sorvi
