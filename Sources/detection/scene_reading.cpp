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

EngineObservation observation(std::optional<LineReading> line) {
  EngineObservation observation;
  if (line) {
    observation.confidence = line->confidence;
    observation.topCandidate = std::move(line->text);
  }
  return observation;
}

// Reads the lines at `indices`, in that order as far as the budget goes, into
// `read`: those the page read with confidence keep its words, the others go
// to the reader together, and past the budget a line keeps the page words on
// it, doubtful or not.
void readPhase(LineReader& reader, const RasterImage& image, const std::vector<TextBox>& lines,
               const std::vector<std::size_t>& indices, const std::vector<EngineWord>& pageWords,
               double& heightsLeft, const std::atomic<bool>& abandoned,
               std::vector<std::optional<EngineObservation>>& read) {
  std::vector<std::size_t> forReader;
  std::vector<TextBox> boxes;
  for (const std::size_t i : indices) {
    std::optional<LineReading> line = lineFromPageWords(lines[i], pageWords);
    if (!line) {
      const double heights = lineHeights(lines[i]);
      if (heights <= heightsLeft) {
        heightsLeft -= heights;
        forReader.push_back(i);
        boxes.push_back(lines[i]);
        continue;
      }
      line = pageWordsOnLine(lines[i], pageWords);
    }
    read[i] = observation(std::move(line));
  }
  if (boxes.empty()) return;
  std::vector<std::optional<LineReading>> readings = reader.read(image, boxes, abandoned);
  readings.resize(boxes.size());
  for (std::size_t k = 0; k < forReader.size(); ++k) {
    read[forReader[k]] = observation(std::move(readings[k]));
  }
}

}  // namespace

EngineOutput readLines(LineReader& reader, const RasterImage& image,
                       const std::vector<TextBox>& lines, const std::vector<EngineWord>& pageWords,
                       const std::atomic<bool>& abandoned, const SampleJudge& worthReadingRest) {
  const std::size_t count = lines.size();
  double heightsLeft = kLineHeightsToRead;
  std::vector<std::optional<EngineObservation>> read(count);
  if (count > kSampleLines) {
    std::vector<std::size_t> sampled;
    for (std::size_t i = 0; i < kSampleLines; ++i) sampled.push_back(i * count / kSampleLines);
    readPhase(reader, image, lines, sampled, pageWords, heightsLeft, abandoned, read);
    if (abandoned) return {.failed = true, .results = std::nullopt};
    EngineOutput sample{.failed = false, .results = std::vector<EngineObservation>{}};
    for (const std::size_t i : sampled) sample.results->push_back(*read[i]);
    const double share = static_cast<double>(kSampleLines) / static_cast<double>(count);
    if (!worthReadingRest(sample, share)) return {.failed = false, .results = std::nullopt};
  }
  // The work goes first to the lines the page reading missed: where it read
  // a line, however doubtfully, its words are there to fall back on.
  for (const bool missedOnly : {true, false}) {
    if (abandoned) return {.failed = true, .results = std::nullopt};
    std::vector<std::size_t> unread;
    for (std::size_t i = 0; i < count; ++i) {
      if (!read[i] && !(missedOnly && pageWordsOnLine(lines[i], pageWords))) unread.push_back(i);
    }
    readPhase(reader, image, lines, unread, pageWords, heightsLeft, abandoned, read);
  }
  if (abandoned) return {.failed = true, .results = std::nullopt};
  std::vector<EngineObservation> observations;
  observations.reserve(count);
  for (std::optional<EngineObservation>& line : read) observations.push_back(std::move(*line));
  return {.failed = false, .results = std::move(observations)};
}

}  // namespace sorvi
