#pragma once

// For tests: engine outputs made of identical lines.

#include <string>
#include <vector>

#include "recognition/text_engine.h"

namespace sorvi {

// `count` text observations reading `text` with `confidence`.
inline EngineOutput lines(int count, const std::string& text, float confidence) {
  return {
      .failed = false,
      .results = std::vector<EngineObservation>(
          count, {.isText = true, .confidence = confidence, .topCandidate = text, .words = {}})};
}

}  // namespace sorvi
