#pragma once

#include <atomic>
#include <functional>

#include "recognition/recognizer.h"
#include "recognition/text_engine.h"

namespace sorvi {

// The image turned clockwise by `quarterTurns` right angles (taken modulo 4).
RasterImage turnedClockwise(const RasterImage& image, int quarterTurns);

// How much a reading gives: the characters of every text line the engine
// returned, and the confidence-weighted characters of the lines the outcome
// keeps (what one can expect to be read right).
struct ReadingYield {
  double characters = 0;
  double trustedCharacters = 0;
};
ReadingYield readingYield(const EngineOutput& output);

// True when a reading has text enough to be a page, yet too little of it is
// trusted: a page upside down reads so.
bool worthLookingForOrientation(const ReadingYield& first);

// Reads `image` once; when that reading looks like a page the wrong way up,
// asks the engine for the page's orientation, reads it turned upright and keeps the reading that
// yields more trusted text. `firstReading` is told the first outcome as soon as it is known, so
// that a caller who runs out of time for the rest can still use it. When the engine cannot tell the
// orientation, a page is tried upside down only if `pageLike`: a photo that reads poorly is a
// photo, not a page turned. What is read depends on the image alone, never on the time left: the
// same file gives the same reading on a busy machine.
struct UprightReading {
  EngineOutput output;  // the reading kept
  bool turned = false;  // read from the image turned upright
};
UprightReading readUpright(TextEngine& engine, const RasterImage& image,
                           const std::atomic<bool>& abandoned, bool pageLike,
                           const std::function<void(const RecognitionOutcome&)>& firstReading);

}  // namespace sorvi
