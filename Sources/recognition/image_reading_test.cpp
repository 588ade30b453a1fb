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
  std::optional<EngineOutput> detected;  // absent: no detector
  int pageReadings = 0;
  int lineReadings = 0;
  EngineOutput recognize(const RasterImage&, const std::atomic<bool>&) override {
    ++pageReadings;
    return page;
  }
  std::optional<int> uprightQuarterTurns(const RasterImage&, const std::atomic<bool>&) override {
    return 0;
  }
  std::optional<std::size_t> detectText(const RasterImage&, const std::atomic<bool>&) override {
    if (!detected) return std::nullopt;
    return detected->results ? detected->results->size() : 1;
  }
  EngineOutput readDetectedText(const RasterImage&, const std::atomic<bool>&) override {
    ++lineReadings;
    return *detected;
  }
};

TEST(ImageReading, TheDetectorGatesThePageAndItsLinesStandWhereTheyReadBetter) {
  const EngineOutput document = lines(20, "a well read line of a printed page", 0.92F);
  const EngineOutput sign = lines(3, "OPEN DAILY", 0.9F);
  const EngineOutput poor = lines(1, "~", 0.4F);
  // clang-format off
  struct Case { const char* what; EngineOutput page; std::optional<EngineOutput> detected;
                bool pastDeadline; int pageReadings, lineReadings; std::string text; }
  cases[] = {
      {"no line found: no page reading", poor, lines(0, "", 0), false, 0, 0, ""},
      {"document read well", document, sign, false, 1, 0, "a well"},
      {"sign missed by the page", poor, sign, false, 1, 1, "OPEN DAILY"},
      {"lines read worse", lines(2, "Main Street", 0.8F), lines(1, "Ma1n", 0.5F), false, 1, 1,
       "Main Street"},
      {"lines fail", poor, EngineOutput{.failed = true, .results = {}}, false, 1, 1, "~"},
      {"no detector", poor, std::nullopt, false, 1, 0, "~"},
      {"past the deadline", poor, sign, true, 1, 0, "~"},
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
    EXPECT_EQ(engine.pageReadings, c.pageReadings);
    EXPECT_EQ(engine.lineReadings, c.lineReadings);
    EXPECT_EQ(outcome.text.value_or("").substr(0, c.text.size()), c.text);
    EXPECT_EQ(outcome.text.has_value(), !c.text.empty());
    // Until the lines are read, the page reading stands.
    if (c.pageReadings > 0) {
      EXPECT_EQ(published.text, condenseObservations(c.page).text);
    }
  }
}

}  // namespace
}  // namespace sorvi
