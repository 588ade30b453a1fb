#include "recognition/condense_observations.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

EngineObservation line(std::optional<std::string> text, float confidence, bool isText = true) {
  return {.isText = isText, .confidence = confidence, .topCandidate = std::move(text), .words = {}};
}

RecognitionOutcome condense(std::vector<EngineObservation> observations) {
  return condenseObservations({.failed = false, .results = std::move(observations)});
}

TEST(CondenseObservations, AcceptedLinesAreJoinedInOrderAndTheirWidenedConfidencesAveraged) {
  const std::vector<std::pair<std::vector<EngineObservation>, RecognitionOutcome>> cases = {
      {{line("A", 0.5F), line("B", 1.0F)}, {"A\nB", 0.75}},
      {{line("A", 0.2F), line("B", 0.8F)}, {"B", 0.800000011920929}},
      // The threshold is compared in single precision.
      {{line("A", 0.3F)}, {"A", 0.30000001192092896}},
      {{line(" z ", 0.9F), line("a", 0.9F)}, {" z \na", 0.8999999761581421}},  // not trimmed
      {{line("", 0.5F), line("", 0.5F)}, {"\n", 0.5}},
      {{line(std::nullopt, 0.9F), line("B", 0.5F)}, {"B", 0.5}},  // no candidate: not counted
  };
  for (const auto& [observations, outcome] : cases) {
    const RecognitionOutcome got = condense(observations);
    EXPECT_EQ(got.text, outcome.text);
    EXPECT_EQ(got.confidence, outcome.confidence) << outcome.text.value_or("");
  }
}

TEST(CondenseObservations, FailuresNothingAcceptedOrAForeignObservationGiveBothAbsent) {
  const std::vector<RecognitionOutcome> outcomes = {
      condenseObservations({.failed = true, .results = std::vector{line("A", 0.9F)}}),
      condenseObservations({.failed = false, .results = std::nullopt}),
      condense({}),
      condense({line("A", 0.2F), line("B", 0.1F)}),
      condense({line("A", std::nextafter(0.3F, 0.0F))}),
      condense({line("A", std::numeric_limits<float>::quiet_NaN())}),
      condense({line(std::nullopt, 0.9F)}),
      condense({line("A", 0.9F), line(std::nullopt, 1.0F, false), line("B", 0.9F)}),
  };
  for (size_t i = 0; i < outcomes.size(); ++i) {
    EXPECT_FALSE(outcomes[i].text || outcomes[i].confidence) << i;
  }
}

}  // namespace
}  // namespace sorvi
