#include "recognition/condense_observations.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

EngineObservation line(const char* text, float confidence) {
  return {.isText = true, .confidence = confidence, .topCandidate = std::string(text)};
}

RecognitionOutcome condense(std::vector<EngineObservation> observations) {
  return condenseObservations({.failed = false, .results = std::move(observations)});
}

void expectAbsent(const RecognitionOutcome& outcome) {
  EXPECT_FALSE(outcome.text.has_value());
  EXPECT_FALSE(outcome.confidence.has_value());
}

TEST(CondenseObservations, FailuresAndNothingFoundGiveBothAbsent) {
  expectAbsent(condenseObservations({.failed = true, .results = std::vector{line("A", 0.9F)}}));
  expectAbsent(condenseObservations({.failed = false, .results = std::nullopt}));
  expectAbsent(condense({}));
  expectAbsent(condense({line("A", 0.2F), line("B", 0.1F)}));
}

TEST(CondenseObservations, ThresholdIsComparedInSinglePrecision) {
  const RecognitionOutcome atThreshold = condense({line("A", 0.3F)});
  EXPECT_EQ(atThreshold.text, "A");
  EXPECT_EQ(atThreshold.confidence, 0.30000001192092896);

  expectAbsent(condense({line("A", std::nextafter(0.3F, 0.0F))}));
  expectAbsent(condense({line("A", std::numeric_limits<float>::quiet_NaN())}));
}

TEST(CondenseObservations, JoinsAcceptedLinesInOrderAndAveragesWidenedConfidences) {
  const RecognitionOutcome both = condense({line("A", 0.5F), line("B", 1.0F)});
  EXPECT_EQ(both.text, "A\nB");
  EXPECT_EQ(both.confidence, 0.75);

  const RecognitionOutcome second = condense({line("A", 0.2F), line("B", 0.8F)});
  EXPECT_EQ(second.text, "B");
  EXPECT_EQ(second.confidence, 0.800000011920929);

  // Lines are taken as they come, not trimmed.
  EXPECT_EQ(condense({line(" z ", 0.9F), line("a", 0.9F)}).text, " z \na");
}

TEST(CondenseObservations, EmptyCandidatesCountAndMissingCandidatesDoNot) {
  const RecognitionOutcome empty = condense({line("", 0.5F)});
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(empty.confidence, 0.5);
  EXPECT_EQ(condense({line("", 0.5F), line("", 0.5F)}).text, "\n");

  const EngineObservation noCandidate{.isText = true, .confidence = 0.9F, .topCandidate = {}};
  const RecognitionOutcome skipped = condense({noCandidate, line("B", 0.5F)});
  EXPECT_EQ(skipped.text, "B");
  EXPECT_EQ(skipped.confidence, 0.5);
  expectAbsent(condense({noCandidate}));
}

TEST(CondenseObservations, OneForeignObservationSpoilsTheList) {
  const EngineObservation foreign{.isText = false, .confidence = 1.0F, .topCandidate = {}};
  expectAbsent(condense({line("A", 0.9F), foreign, line("B", 0.9F)}));
}

}  // namespace
}  // namespace sorvi
