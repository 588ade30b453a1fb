#include "recognition/image_reading.h"

#include <optional>

#include "recognition/condense_observations.h"
#include "recognition/image_look.h"

namespace sorvi {
namespace {

// A page read well: this many characters trusted, and this share of all it
// read. Tesseract keeps the reading order of columns, so such a page keeps its
// reading; photos with a sign or two, receipts photographed or scanned and
// pages in scripts the model reads poorly fall short.
constexpr double kWellReadCharacters = 40;
constexpr double kWellReadShare = 0.8;
// Text a program drew (screens, rendered pages) the page engine reads as
// well as the line reader does, at a fraction of the cost: a reading of it
// that trusts half its characters stands.
constexpr double kRenderedWellReadShare = 0.5;
// A sample of the lines that reads no better than the page, not well either,
// and promises no more trusted text leaves the page reading standing: the
// rest are not read.
constexpr double kSampleMargin = 1.3;
// A sample that trusts less than this share of what it read is in a script or
// a hand the line reader does not know either (a Cyrillic form read by both
// models as Latin garbage): reading its hundreds of lines would change one
// garbled reading for another.
constexpr double kSampleFloorShare = 0.6;
// The detected lines stand only when they yield clearly more: on a page that
// both read about as well, the page reading's order and spacing are better.
constexpr double kDetectedMargin = 1.07;
// Scans, rendered pages and screens are at least this share paper; photos,
// even of a sign or a poster, seldom are.
constexpr double kPaperShare = 0.6;

}  // namespace

bool worthReadingDetectedLines(const ReadingYield& page, bool rendered) {
  const double share = rendered ? kRenderedWellReadShare : kWellReadShare;
  return page.trustedCharacters < kWellReadCharacters ||
         page.trustedCharacters < share * page.characters;
}

bool detectedSampleWorthGoingOn(const ReadingYield& sample, double share,
                                const ReadingYield& page) {
  if (page.characters < kWellReadCharacters) return true;
  const double sampleShare =
      sample.characters > 0 ? sample.trustedCharacters / sample.characters : 0;
  const double pageShare = page.trustedCharacters / page.characters;
  const double projected = share > 0 ? sample.trustedCharacters / share : 0;
  if (sampleShare < kSampleFloorShare) return false;
  return sampleShare >= kWellReadShare || sampleShare >= kSampleMargin * pageShare ||
         projected >= kSampleMargin * page.trustedCharacters;
}

bool detectedTextReadsBetter(const ReadingYield& detected, const ReadingYield& page) {
  return detected.trustedCharacters > kDetectedMargin * page.trustedCharacters;
}

RecognitionOutcome readImage(TextEngine& engine, const RasterImage& image,
                             const std::atomic<bool>& abandoned,
                             const std::function<void(const RecognitionOutcome&)>& firstReading) {
  // Most photos hold no text, and the detector alone tells so, cheaper than a
  // page reading. Pages and screens are mostly read well as pages: they ask
  // the detector only when they are not.
  const ImageLook look = lookAt(image);
  const bool pageFirst = look.paper >= kPaperShare || look.rendered;
  std::optional<std::size_t> lines;
  if (!pageFirst) {
    lines = engine.detectText(image, abandoned);
    if (abandoned || (lines && *lines == 0)) return {};
  }

  const UprightReading upright = readUpright(engine, image, abandoned, pageFirst, firstReading);
  const EngineOutput& page = upright.output;
  RecognitionOutcome outcome = condenseObservations(page);
  const ReadingYield pageYield = readingYield(page);
  // A page that had to be turned to read is a document; the lines were found
  // on it as it lies.
  if (page.failed || abandoned || upright.turned ||
      !worthReadingDetectedLines(pageYield, look.rendered)) {
    return outcome;
  }
  // Published first, so the page reading stands should the lines not be read
  // in time.
  firstReading(outcome);
  if (pageFirst) lines = engine.detectText(image, abandoned);
  if (!lines || *lines == 0 || abandoned) return outcome;
  const EngineOutput detected = engine.readDetectedText(
      image, abandoned, page, [&](const EngineOutput& sample, double share) {
        return detectedSampleWorthGoingOn(readingYield(sample), share, pageYield);
      });
  if (detected.failed || abandoned || !detectedTextReadsBetter(readingYield(detected), pageYield)) {
    return outcome;
  }
  return condenseObservations(detected);
}

}  // namespace sorvi
