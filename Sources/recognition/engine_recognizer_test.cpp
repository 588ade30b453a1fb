#include "recognition/engine_recognizer.h"

#include <future>
#include <stdexcept>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using namespace std::chrono_literals;

// Engines that all behave as `behaviour` says; counts those made.
struct FakeEngines {
  struct Engine : TextEngine {
    explicit Engine(FakeEngines& owner) : owner(owner) {}
    EngineOutput recognize(const RasterImage& image, const std::atomic<bool>& abandoned) override {
      return owner.behaviour(image.width, abandoned);
    }
    FakeEngines& owner;
  };
  TextEngineFactory factory() {
    return [this] {
      ++made;
      return std::make_unique<Engine>(*this);
    };
  }
  std::function<EngineOutput(int width, const std::atomic<bool>&)> behaviour;
  std::atomic<int> made{0};
};

EngineOutput reading(const std::string& text, float confidence) {
  return {.failed = false, .results = std::vector<EngineObservation>{{true, confidence, text}}};
}

// The image's width tells the fake engine what to do.
std::shared_ptr<const RasterImage> image(int width) {
  return std::make_shared<RasterImage>(RasterImage{
      .width = width, .height = 1, .rgba = std::vector<uint8_t>(width * 4UL, 255)});
}

TEST(EngineRecognizer, OneEngineMadeLazilyAndFailuresGiveBothAbsent) {
  FakeEngines engines{.behaviour = [](int width, const std::atomic<bool>&) {
    if (width == 1) return EngineOutput{.failed = true, .results = std::nullopt};
    if (width == 2) throw std::runtime_error("engine broke");
    return reading(std::to_string(width), 0.5F);
  }};
  EngineRecognizer recognizer(engines.factory(), 5s);
  EXPECT_EQ(engines.made, 0);
  const RecognitionOutcome fine = recognizer.ocrImage(image(3));
  EXPECT_EQ(fine.text, "3");
  EXPECT_EQ(fine.confidence, 0.5);
  EXPECT_EQ(recognizer.ocrImage(image(4)).text, "4");
  EXPECT_EQ(engines.made, 1);
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
  FakeEngines engines{.behaviour = [&](int width, const std::atomic<bool>& abandoned) {
    if (width != 1) return reading("next", 0.5F);
    // Deaf to the request to stop until let go, like layout analysis.
    released.wait();
    sawAbandoned = abandoned.load();
    return reading("late", 1.0F);
  }};
  {
    EngineRecognizer recognizer(engines.factory(), 300ms);
    const auto start = std::chrono::steady_clock::now();
    const RecognitionOutcome late = recognizer.ocrImage(image(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_FALSE(late.text || late.confidence);
    // The first engine is still busy: the next image gets another one.
    EXPECT_EQ(recognizer.ocrImage(image(2)).confidence, 0.5);
    EXPECT_EQ(engines.made, 2);
    release.set_value();
    // The late result lands in the abandoned call's state, never here.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(recognizer.ocrImage(image(2)).text, "next");
  }  // the destructor waits for the late engine
  EXPECT_TRUE(sawAbandoned);
}

}  // namespace
}  // namespace sorvi
