#include "recognition/condense_observations.h"

#include <algorithm>

namespace sorvi {

RecognitionOutcome condenseObservations(const EngineOutput& output) {
  if (output.failed || !output.results || output.results->empty()) {
    return {};
  }
  const auto& observations = *output.results;
  // All or nothing: one foreign observation spoils the whole list.
  if (!std::all_of(observations.begin(), observations.end(),
                   [](const EngineObservation& o) { return o.isText; })) {
    return {};
  }

  std::string text;
  double sum = 0.0;
  int count = 0;
  for (const EngineObservation& observation : observations) {
    // Written so that NaN fails the test too.
    if (!(observation.confidence >= kMinimumObservationConfidence)) {
      continue;
    }
    if (!observation.topCandidate) {
      continue;
    }
    if (count > 0) {
      text += '\n';
    }
    text += *observation.topCandidate;
    sum += static_cast<double>(observation.confidence);
    ++count;
  }
  if (count == 0) {
    return {};
  }
  return {std::move(text), sum / count};
}

}  // namespace sorvi
