#include "detection/page_words.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

#include "text/utf8.h"

namespace sorvi {
namespace {

// Below this a page reading's word may be wrong often enough that the line
// is better read again.
constexpr float kConfidentWord = 0.8F;
// Words spanning less of the line leave part of it unread.
constexpr double kCoveredShare = 0.6;
// A word box this many heights wide holds at least one character: a page
// reader that reads a wide word as one or two letters has misread it, however
// sure it is (a column of short entries read as "i").
constexpr double kHeightsPerCharacter = 3;

float distance(ImagePoint a, ImagePoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The corners go round the box one way, so a point inside is on the same
// side of every edge.
bool inside(const TextBox& box, float x, float y) {
  bool left = false;
  bool right = false;
  for (std::size_t i = 0; i < box.corners.size(); ++i) {
    const ImagePoint a = box.corners[i];
    const ImagePoint b = box.corners[(i + 1) % box.corners.size()];
    const float cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    left = left || cross < 0;
    right = right || cross > 0;
  }
  return !(left && right);
}

}  // namespace

std::vector<EngineWord> pageWords(const EngineOutput& page) {
  std::vector<EngineWord> words;
  if (page.failed || !page.results) return words;
  for (const EngineObservation& observation : *page.results) {
    if (!observation.isText) continue;
    words.insert(words.end(), observation.words.begin(), observation.words.end());
  }
  return words;
}

namespace {

// The words whose centres lie in `box`, in the order the line reads, and
// how much of the line they span. Without `confidentOnly`, every word counts;
// with it, a doubtful word makes the whole line absent.
std::optional<std::pair<std::vector<const EngineWord*>, double>> wordsOnLine(
    const TextBox& box, const std::vector<EngineWord>& words, bool confidentOnly) {
  // The words follow the line the way it reads, which may be down or up the
  // image when the line stands on end.
  const float dx = box.corners[1].x - box.corners[0].x;
  const float dy = box.corners[1].y - box.corners[0].y;
  const bool upright = std::abs(dx) >= std::abs(dy);
  const auto length = [upright](const PixelBox& b) {
    return static_cast<double>(upright ? b.right - b.left : b.bottom - b.top);
  };
  const auto thickness = [upright](const PixelBox& b) {
    return static_cast<double>(upright ? b.bottom - b.top : b.right - b.left);
  };

  std::vector<const EngineWord*> onLine;
  double span = 0;
  for (const EngineWord& word : words) {
    const float x = static_cast<float>(word.box.left + word.box.right) / 2;
    const float y = static_cast<float>(word.box.top + word.box.bottom) / 2;
    if (!inside(box, x, y)) continue;
    if (confidentOnly && (word.confidence < kConfidentWord ||
                          length(word.box) > kHeightsPerCharacter * thickness(word.box) *
                                                 visibleCharacters(word.text))) {
      return std::nullopt;
    }
    onLine.push_back(&word);
    span += length(word.box);
  }
  const auto along = [&](const EngineWord* word) {
    return dx * static_cast<float>(word->box.left + word->box.right) +
           dy * static_cast<float>(word->box.top + word->box.bottom);
  };
  std::sort(onLine.begin(), onLine.end(),
            [&](const EngineWord* a, const EngineWord* b) { return along(a) < along(b); });
  return std::pair{std::move(onLine), span};
}

LineReading joined(const std::vector<const EngineWord*>& onLine) {
  LineReading line;
  double confidence = 0;
  for (const EngineWord* word : onLine) {
    line.text += (line.text.empty() ? "" : " ") + word->text;
    confidence += word->confidence;
  }
  line.confidence = static_cast<float>(confidence / static_cast<double>(onLine.size()));
  return line;
}

}  // namespace

std::optional<LineReading> lineFromPageWords(const TextBox& box,
                                             const std::vector<EngineWord>& words) {
  const auto found = wordsOnLine(box, words, /*confidentOnly=*/true);
  if (!found || found->first.empty() ||
      found->second < kCoveredShare * std::max(distance(box.corners[0], box.corners[1]),
                                               distance(box.corners[3], box.corners[2]))) {
    return std::nullopt;
  }
  return joined(found->first);
}

std::optional<LineReading> pageWordsOnLine(const TextBox& box,
                                           const std::vector<EngineWord>& words) {
  const auto found = wordsOnLine(box, words, /*confidentOnly=*/false);
  if (!found || found->first.empty()) return std::nullopt;
  return joined(found->first);
}

}  // namespace sorvi
