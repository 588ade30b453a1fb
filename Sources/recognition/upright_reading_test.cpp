#include "recognition/upright_reading.h"

#include <thread>

#include <gtest/gtest.h>

#include "recognition/condense_observations.h"
#include "recognition/engine_recognizer.h"
#include "recognition/test_engine_output.h"

namespace sorvi {
namespace {

using namespace std::chrono_literals;

// Reads "upright" only from an image whose first pixel is the marked one;
// counts its calls. Its orientation search takes `searchTime`.
struct FakeEngine : TextEngine {
  EngineOutput first = lines(6, "garbled line of text", 0.35F);  // a page upside down
  std::optional<int> turns;
  std::chrono::milliseconds searchTime{0};
  int readings = 0;
  int searches = 0;
  EngineOutput recognize(const RasterImage& image, const std::atomic<bool>&) override {
    ++readings;
    return image.rgba[0] == 7 ? lines(5, "upright text line", 0.9F) : first;
  }
  std::optional<int> uprightQuarterTurns(const RasterImage&, const std::atomic<bool>&) override {
    ++searches;
    std::this_thread::sleep_for(searchTime);
    return turns;
  }
};

// 2 x 1 pixels, the marked one on the right: it comes first when turned 180
// or 270 degrees clockwise, not 90.
RasterImage upsideDown() { return {.width = 2, .height = 1, .rgba = {0, 0, 0, 0, 7, 0, 0, 0}}; }

TEST(UprightReading, SearchesOnlyPagesThatReadPoorlyAndKeepsTheBetterReading) {
  const EngineOutput poorPage = FakeEngine().first;
  // clang-format off
  struct Case { EngineOutput first; std::optional<int> turns; int readings, searches; bool upright;
                bool pageLike = true; }
  cases[] = {
      {lines(6, "a clean line of text", 0.9F), 2, 1, 0, false},  // reads well already
      {lines(0, "", 0.0F), 2, 1, 0, false},                      // a photo without text
      {lines(2, "few words", 0.2F), 2, 1, 0, false},             // a photo, a little noise
      {poorPage, 2, 2, 1, true},
      {poorPage, std::nullopt, 2, 1, true},         // unsure: tried upside down
      {poorPage, std::nullopt, 1, 1, false, false},  // unsure of a photo: not guessed
      {lines(6, "blurred receipt", 0.45F), std::nullopt, 1, 1, false},  // poor, not that poor
      {poorPage, 2, 2, 1, true, false},             // a photo of a page upside down
      {poorPage, 0, 1, 1, false},                   // upright, just poor
      {poorPage, 3, 2, 1, true},
      {poorPage, 1, 2, 1, false},  // a wrong turn reads worse: first kept
  };
  // clang-format on
  for (const Case& c : cases) {
    FakeEngine engine;
    engine.first = c.first;
    engine.turns = c.turns;
    int told = 0;
    const UprightReading reading =
        readUpright(engine, upsideDown(), std::atomic<bool>{false}, c.pageLike,
                    [&](const RecognitionOutcome&) { ++told; });
    const RecognitionOutcome outcome = condenseObservations(reading.output);
    EXPECT_EQ(reading.turned, c.upright);
    EXPECT_EQ(engine.readings, c.readings);
    EXPECT_EQ(engine.searches, c.searches);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(outcome.text.value_or("").starts_with("upright"), c.upright);
  }
}

// The time limit guards against a reading that hangs: the first reading,
// published in time, stands.
TEST(UprightReading, TheTimeLimitKeepsTheFirstReading) {
  EngineRecognizer recognizer(
      [] {
        auto engine = std::make_unique<FakeEngine>();
        engine->searchTime = 3s;
        return engine;
      },
      300ms);
  const auto start = std::chrono::steady_clock::now();
  const RecognitionOutcome outcome =
      recognizer.ocrImage(std::make_shared<RasterImage>(upsideDown()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(outcome.text.value_or("").substr(0, 7), "garbled");
}

}  // namespace
}  // namespace sorvi
