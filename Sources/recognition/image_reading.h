#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include "recognition/recognizer.h"
#include "recognition/text_engine.h"
#include "recognition/upright_reading.h"

namespace sorvi {

// True when a page reading leaves nothing for a text detector to find: a
// document read well. Photos, and pages read poorly, are worth the detector.
bool worthDetectingText(const ReadingYield& page);

// True when the detected lines read better than the page: more trusted
// characters.
bool detectedTextReadsBetter(const ReadingYield& detected, const ReadingYield& page);

// Reads `image` as a page (turned upright when it lies the wrong way up);
// unless that is a document read well, also reads the lines the engine's
// detector finds, and keeps whichever reading yields more trusted text.
// `firstReading` is told the page reading's first outcome as soon as it is
// known; the detector is not started after `deadline`.
RecognitionOutcome readImage(TextEngine& engine, const RasterImage& image,
                             const std::atomic<bool>& abandoned,
                             std::chrono::steady_clock::time_point deadline,
                             const std::function<void(const RecognitionOutcome&)>& firstReading);

}  // namespace sorvi
