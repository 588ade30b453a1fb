#pragma once

#include <atomic>
#include <functional>

#include "recognition/recognizer.h"
#include "recognition/text_engine.h"
#include "recognition/upright_reading.h"

namespace sorvi {

// True when a page reading leaves something for the detected lines to add:
// photos, short texts (a page reader misses text around what it reads well)
// and pages read poorly are worth reading line by line. Text a program drew
// (`rendered`) must read worse than a scan before the lines pay.
bool worthReadingDetectedLines(const ReadingYield& page, bool rendered);

// True when a sample of the detected lines, `share` of them all, promises
// more than the page reading gave: it reads well, or clearly better than the
// page, or all the lines would yield clearly more trusted characters, and is
// not itself read poorly. A page reading of a few characters is no measure.
bool detectedSampleWorthGoingOn(const ReadingYield& sample, double share, const ReadingYield& page);

// True when the detected lines read clearly better than the page: more
// trusted characters by a margin.
bool detectedTextReadsBetter(const ReadingYield& detected, const ReadingYield& page);

// Reads `image` as a page (turned upright when it lies the wrong way up)
// and, unless that is a page read well, reads one by one the lines that the
// engine's text detector finds anywhere on it; the reading that yields more
// trusted text stands. An image that is neither mostly paper nor rendered by
// a program goes to the detector first, and where it finds no line the image holds no text: nothing
// more is done. Without a detector the page reading stands. `firstReading` is told the page reading
// as soon as it is known. The time left never decides what is read.
RecognitionOutcome readImage(TextEngine& engine, const RasterImage& image,
                             const std::atomic<bool>& abandoned,
                             const std::function<void(const RecognitionOutcome&)>& firstReading);

}  // namespace sorvi
