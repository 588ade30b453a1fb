#include "detection/page_words.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

namespace sorvi {
namespace {

// Below this a page reading's word may be wrong often enough that the line
// is better read again.
constexpr float kConfidentWord = 0.8F;
// Words spanning less of the line leave part of it unread.
constexpr double kCoveredShare = 0.6;

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

std::optional<LineReading> lineFromPageWords(const TextBox& box,
                                             const std::vector<EngineWord>& words) {
  std::vector<const EngineWord*> onLine;
  for (const EngineWord& word : words) {
    const float x = static_cast<float>(word.box.left + word.box.right) / 2;
    const float y = static_cast<float>(word.box.top + word.box.bottom) / 2;
    if (!inside(box, x, y)) continue;
    if (word.confidence < kConfidentWord) return std::nullopt;
    onLine.push_back(&word);
  }
  if (onLine.empty()) return std::nullopt;

  // The words follow the line the way it reads, which may be down or up the
  // image when the line stands on end.
  const ImagePoint start = box.corners[0];
  const float dx = box.corners[1].x - start.x;
  const float dy = box.corners[1].y - start.y;
  const bool upright = std::abs(dx) >= std::abs(dy);
  const auto along = [&](const EngineWord* word) {
    return dx * static_cast<float>(word->box.left + word->box.right) +
           dy * static_cast<float>(word->box.top + word->box.bottom);
  };
  double span = 0;
  for (const EngineWord* word : onLine) {
    span += upright ? word->box.right - word->box.left : word->box.bottom - word->box.top;
  }
  if (span < kCoveredShare * std::max(distance(box.corners[0], box.corners[1]),
                                      distance(box.corners[3], box.corners[2]))) {
    return std::nullopt;
  }
  std::sort(onLine.begin(), onLine.end(),
            [&](const EngineWord* a, const EngineWord* b) { return along(a) < along(b); });
  LineReading line;
  double confidence = 0;
  for (const EngineWord* word : onLine) {
    line.text += (line.text.empty() ? "" : " ") + word->text;
    confidence += word->confidence;
  }
  line.confidence = static_cast<float>(confidence / static_cast<double>(onLine.size()));
  return line;
}

}  // namespace sorvi
