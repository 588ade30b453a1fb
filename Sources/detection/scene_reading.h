#pragma once

#include <atomic>

#include "detection/text_detector.h"
#include "recognition/text_engine.h"

namespace sorvi {

// Finds the text lines of `image` with `detector` and reads each with
// `reader`, in reading order: one observation per line, an unreadable line
// as an observation without a candidate. Fails when detection fails or the
// work is abandoned.
EngineOutput readDetectedLines(TextDetector& detector, LineReader& reader, const RasterImage& image,
                               const std::atomic<bool>& abandoned);

}  // namespace sorvi
