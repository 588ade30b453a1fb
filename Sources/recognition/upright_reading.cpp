#include "recognition/upright_reading.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>

#include "recognition/condense_observations.h"
#include "text/utf8.h"

namespace sorvi {
namespace {

// A page's worth of text: a few words on a photo do not pay for a search.
constexpr double kMinimumPageCharacters = 40;
// Share of the read characters that must be trusted for a reading to stand.
// Clean pages trust 0.6 to 0.96 of their characters, pages upside down 0.15
// to 0.37 (the engine reads sideways lines by itself).
constexpr double kWellReadShare = 0.5;
// A turn the engine could not tell is guessed only for a reading as poor as
// pages upside down give: a photographed receipt that trusts 0.45 of its
// characters lost a second reading (a second) to the guess.
constexpr double kUpsideDownShare = 0.4;

}  // namespace

RasterImage turnedClockwise(const RasterImage& image, int quarterTurns) {
  const int turns = ((quarterTurns % 4) + 4) % 4;
  if (turns == 0) {
    return image;
  }
  const int w = image.width;
  const int h = image.height;
  RasterImage turned;
  turned.width = turns == 2 ? w : h;
  turned.height = turns == 2 ? h : w;
  turned.pixelsPerInch = image.pixelsPerInch;
  turned.rgba.resize(image.rgba.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int tx = w - 1 - x;  // 180 degrees
      int ty = h - 1 - y;
      if (turns == 1) {
        tx = h - 1 - y;
        ty = x;
      } else if (turns == 3) {
        tx = y;
        ty = w - 1 - x;
      }
      std::memcpy(&turned.rgba[(static_cast<std::size_t>(ty) * turned.width + tx) * 4],
                  &image.rgba[(static_cast<std::size_t>(y) * w + x) * 4], 4);
    }
  }
  return turned;
}

ReadingYield readingYield(const EngineOutput& output) {
  ReadingYield yield;
  if (output.failed || !output.results) {
    return yield;
  }
  for (const EngineObservation& observation : *output.results) {
    if (!observation.isText || !observation.topCandidate) {
      continue;
    }
    const double characters = visibleCharacters(*observation.topCandidate);
    yield.characters += characters;
    if (observation.confidence >= kMinimumObservationConfidence) {
      yield.trustedCharacters += characters * static_cast<double>(observation.confidence);
    }
  }
  return yield;
}

bool worthLookingForOrientation(const ReadingYield& first) {
  return first.characters >= kMinimumPageCharacters &&
         first.trustedCharacters < kWellReadShare * first.characters;
}

UprightReading readUpright(TextEngine& engine, const RasterImage& image,
                           const std::atomic<bool>& abandoned, bool pageLike,
                           const std::function<void(const RecognitionOutcome&)>& firstReading) {
  EngineOutput first = engine.recognize(image, abandoned);
  firstReading(condenseObservations(first));
  const ReadingYield firstYield = readingYield(first);
  if (first.failed || abandoned || !worthLookingForOrientation(firstYield)) {
    return {std::move(first)};
  }
  // When the engine cannot tell, upside down is the likeliest cause of a page
  // that reads this poorly; the comparison below guards against a wrong guess.
  // The engine tells a page turned any way with ease, but not a photo: there
  // a guess is a second reading that seldom reads more.
  const std::optional<int> found = engine.uprightQuarterTurns(image, abandoned);
  if (!found &&
      (!pageLike || firstYield.trustedCharacters >= kUpsideDownShare * firstYield.characters)) {
    return {std::move(first)};
  }
  const int turns = found.value_or(2) % 4;
  if (turns == 0 || abandoned) {
    return {std::move(first)};
  }
  try {
    EngineOutput upright = engine.recognize(turnedClockwise(image, turns), abandoned);
    if (!upright.failed && !abandoned &&
        readingYield(upright).trustedCharacters > firstYield.trustedCharacters) {
      return {std::move(upright), true};
    }
  } catch (const std::exception&) {
    // No memory for the turned copy: the first reading stands.
  }
  return {std::move(first)};
}

}  // namespace sorvi
