#pragma once

#include "recognition/recognizer.h"
#include "recognition/text_engine.h"

namespace sorvi {

// Observations below this confidence are dropped (compared in single
// precision, so exactly 0.3F passes).
inline constexpr float kMinimumObservationConfidence = 0.3F;

// Turns one engine output into the outcome: the accepted lines joined by
// "\n" and the mean of their confidences, or both absent.
RecognitionOutcome condenseObservations(const EngineOutput& output);

}  // namespace sorvi
