#include "recognition/image_reading.h"

#include <optional>

#include "recognition/condense_observations.h"

namespace sorvi {
namespace {

// A document: this many characters, most of them trusted. Photos with a
// sign or two hold far fewer.
constexpr double kDocumentCharacters = 200;
constexpr double kDocumentTrustedShare = 0.7;

}  // namespace

bool worthDetectingText(const ReadingYield& page) {
  return page.characters < kDocumentCharacters ||
         page.trustedCharacters < kDocumentTrustedShare * page.characters;
}

bool detectedTextReadsBetter(const ReadingYield& detected, const ReadingYield& page) {
  return detected.trustedCharacters > page.trustedCharacters;
}

RecognitionOutcome readImage(TextEngine& engine, const RasterImage& image,
                             const std::atomic<bool>& abandoned,
                             std::chrono::steady_clock::time_point deadline,
                             const std::function<void(const RecognitionOutcome&)>& firstReading) {
  const EngineOutput page = readUpright(engine, image, abandoned, deadline, firstReading);
  RecognitionOutcome outcome = condenseObservations(page);
  const ReadingYield pageYield = readingYield(page);
  if (page.failed || abandoned || !worthDetectingText(pageYield) ||
      std::chrono::steady_clock::now() >= deadline) {
    return outcome;
  }
  // The page reading is published first, so it stands should the detector
  // not finish in time.
  firstReading(outcome);
  const std::optional<EngineOutput> detected = engine.readDetectedText(image, abandoned);
  if (!detected || detected->failed || abandoned ||
      !detectedTextReadsBetter(readingYield(*detected), pageYield)) {
    return outcome;
  }
  return condenseObservations(*detected);
}

}  // namespace sorvi
