#include "recognition/image_reading.h"

#include <gtest/gtest.h>

#include "recognition/condense_observations.h"

namespace sorvi {
namespace {

using namespace std::chrono_literals;

EngineOutput lines(int count, const std::string& text, float confidence) {
  return {.failed = false,
          .results = std::vector<EngineObservation>(
              count, {.isText = true, .confidence = confidence, .topCandidate = text})};
}

struct FakeEngine : TextEngine {
  EngineOutput page;
  std::optional<EngineOutput> detected;
  int detections = 0;
  EngineOutput recognize(const RasterImage&, const std::atomic<bool>&) override { return page; }
  std::optional<int> uprightQuarterTurns(const RasterImage&, const std::atomic<bool>&) override {
    return 0;
  }
  std::optional<EngineOutput> readDetectedText(const RasterImage&,
                                               const std::atomic<bool>&) override {
    ++detections;
    return detected;
  }
};

TEST(ImageReading, TheDetectorReadsWhatThePageReadingMissesAndTheRicherReadingStands) {
  const EngineOutput document = lines(20, "a well read line of a printed page", 0.92F);
  const EngineOutput sign = lines(3, "OPEN DAILY", 0.9F);
  // clang-format off
  struct Case { const char* what; EngineOutput page; std::optional<EngineOutput> detected;
                bool pastDeadline; int detections; std::string text; }
  cases[] = {
      {"document read well", document, sign, false, 0, "a well"},
      {"photo without text", lines(0, "", 0), lines(0, "", 0), false, 1, ""},
      {"sign missed by the page", lines(1, "~", 0.4F), sign, false, 1, "OPEN DAILY"},
      {"detector reads worse", lines(2, "Main Street", 0.8F), lines(1, "Ma1n", 0.5F), false, 1,
       "Main Street"},
      {"detector fails", lines(1, "~", 0.4F), EngineOutput{.failed = true, .results = {}}, false, 1,
       "~"},
      {"no detector", lines(1, "~", 0.4F), std::nullopt, false, 1, "~"},
      {"past the deadline", lines(1, "~", 0.4F), sign, true, 0, "~"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeEngine engine;
    engine.page = c.page;
    engine.detected = c.detected;
    RecognitionOutcome published;
    const auto deadline = std::chrono::steady_clock::now() + (c.pastDeadline ? -1s : 1h);
    const RecognitionOutcome outcome =
        readImage(engine, RasterImage{.width = 1, .height = 1, .rgba = {0, 0, 0, 0}},
                  std::atomic<bool>{false}, deadline,
                  [&](const RecognitionOutcome& first) { published = first; });
    EXPECT_EQ(engine.detections, c.detections);
    EXPECT_EQ(outcome.text.value_or("").substr(0, c.text.size()), c.text);
    EXPECT_EQ(outcome.text.has_value(), !c.text.empty());
    // Until the detector is done, the page reading stands.
    EXPECT_EQ(published.text, condenseObservations(c.page).text);
  }
}

}  // namespace
}  // namespace sorvi
