#include "recognition/engine_recognizer.h"

#include <future>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using namespace std::chrono_literals;

using Behaviour = std::function<EngineOutput(int width, const std::atomic<bool>& abandoned)>;

// Engines that all behave as `behaviour` says, counted in `made`.
TextEngineFactory engines(const Behaviour& behaviour, std::atomic<int>& made) {
  struct Engine : TextEngine {
    explicit Engine(Behaviour behaviour) : behaviour(std::move(behaviour)) {}
    EngineOutput recognize(const RasterImage& image, const std::atomic<bool>& abandoned) override {
      return behaviour(image.width, abandoned);
    }
    Behaviour behaviour;
  };
  return [behaviour, &made] {
    ++made;
    return std::make_unique<Engine>(behaviour);
  };
}

EngineOutput reading(const std::string& text, float confidence) {
  return {.failed = false, .results = std::vector<EngineObservation>{{true, confidence, text, {}}}};
}

// The image's width tells the fake engine what to do.
std::shared_ptr<const RasterImage> image(int width) {
  return std::make_shared<RasterImage>(
      RasterImage{.width = width, .height = 1, .rgba = std::vector<uint8_t>(width * 4UL, 255)});
}

TEST(EngineRecognizer, OneEngineMadeLazilyAndFailuresGiveBothAbsent) {
  std::atomic<int> made{0};
  const auto behaviour = [](int width, const std::atomic<bool>&) {
    if (width == 1) return EngineOutput{.failed = true, .results = std::nullopt};
    if (width == 2) throw std::runtime_error("engine broke");
    return reading(std::to_string(width), 0.5F);
  };
  EngineRecognizer recognizer(engines(behaviour, made), 5s);
  EXPECT_EQ(made, 0);
  const RecognitionOutcome fine = recognizer.ocrImage(image(3));
  EXPECT_EQ(fine.text, "3");
  EXPECT_EQ(fine.confidence, 0.5);
  EXPECT_EQ(recognizer.ocrImage(image(4)).text, "4");
  EXPECT_EQ(made, 1);
  for (const int width : {1, 2}) {
    const RecognitionOutcome outcome = recognizer.ocrImage(image(width));
    EXPECT_FALSE(outcome.text || outcome.confidence) << width;
  }
  EXPECT_EQ(recognizer.ocrImage(image(5)).text, "5");

  EngineRecognizer noEngine([] { return std::unique_ptr<TextEngine>(); }, 5s);
  EXPECT_FALSE(noEngine.ocrImage(image(3)).text.has_value());
  EXPECT_FALSE(noEngine.ocrImage(nullptr).confidence.has_value());
}

TEST(EngineRecognizer, AbandonsALateRecognitionWithoutWaitingForIt) {
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> sawAbandoned{false};
  std::atomic<int> made{0};
  const auto behaviour = [&](int width, const std::atomic<bool>& abandoned) {
    if (width != 1) return reading("next", 0.5F);
    // Deaf to the request to stop until let go, like layout analysis.
    released.wait();
    sawAbandoned = abandoned.load();
    return reading("late", 1.0F);
  };
  {
    EngineRecognizer recognizer(engines(behaviour, made), 300ms);
    const auto start = std::chrono::steady_clock::now();
    const RecognitionOutcome late = recognizer.ocrImage(image(1));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(waited >= 300ms && waited < 5s);  // the limits, not the engine's pace
    EXPECT_FALSE(late.text || late.confidence);
    // The first engine is still busy: the next image gets another one.
    EXPECT_EQ(recognizer.ocrImage(image(2)).confidence, 0.5);
    EXPECT_EQ(made, 2);
    release.set_value();
    // The late result lands in the abandoned call's state, never here.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(recognizer.ocrImage(image(2)).text, "next");
  }  // the destructor waits for the late engine
  EXPECT_TRUE(sawAbandoned);
}

// A reading that waits past the limit, as one starved of the processor on a
// busy machine does, still gives its result; one that works past it does not.
TEST(EngineRecognizer, TheLimitCountsWorkNotWaiting) {
  std::atomic<int> made{0};
  const auto behaviour = [](int width, const std::atomic<bool>& abandoned) {
    if (width == 1) {
      std::this_thread::sleep_for(500ms);
      return reading("waited", 0.5F);
    }
    while (!abandoned) {
    }
    return reading("worked", 0.5F);
  };
  EngineRecognizer recognizer(engines(behaviour, made), 300ms);
  EXPECT_EQ(recognizer.ocrImage(image(1)).text, "waited");
  EXPECT_FALSE(recognizer.ocrImage(image(2)).text);
}

}  // namespace
}  // namespace sorvi
