#include "recognition/engine_recognizer.h"

#include <future>
#include <stdexcept>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using namespace std::chrono_literals;
using Behaviour = std::function<EngineOutput(const RasterImage&, const std::atomic<bool>&)>;

class FakeEngine : public TextEngine {
 public:
  explicit FakeEngine(Behaviour behaviour) : behaviour_(std::move(behaviour)) {}
  EngineOutput recognize(const RasterImage& image, const std::atomic<bool>& abandoned) override {
    return behaviour_(image, abandoned);
  }

 private:
  Behaviour behaviour_;
};

// Counts the instances made; every instance behaves the same.
struct FakeFactory {
  Behaviour behaviour;
  std::atomic<int> made{0};
  TextEngineFactory get() {
    return [this] {
      ++made;
      return std::make_unique<FakeEngine>(behaviour);
    };
  }
};

EngineOutput reading(const std::string& text, float confidence) {
  return {.failed = false,
          .results = std::vector<EngineObservation>{
              {.isText = true, .confidence = confidence, .topCandidate = text}}};
}

// The image's width tells the fake engine what to do.
std::shared_ptr<const RasterImage> image(int width) {
  auto made = std::make_shared<RasterImage>();
  made->width = width;
  made->height = 1;
  made->rgba.assign(static_cast<std::size_t>(width) * 4, 255);
  return made;
}

TEST(EngineRecognizer, MakesOneEngineLazilyAndReusesIt) {
  FakeFactory factory{.behaviour = [](const RasterImage& image, const std::atomic<bool>&) {
    return reading(std::to_string(image.width), 0.5F);
  }};
  EngineRecognizer recognizer(factory.get(), 5s);
  EXPECT_EQ(factory.made, 0);

  const RecognitionOutcome first = recognizer.ocrImage(image(1));
  EXPECT_EQ(first.text, "1");
  EXPECT_EQ(first.confidence, 0.5);
  EXPECT_EQ(recognizer.ocrImage(image(2)).text, "2");
  EXPECT_EQ(factory.made, 1);
}

TEST(EngineRecognizer, EngineFailuresGiveBothAbsent) {
  FakeFactory factory{.behaviour = [](const RasterImage& image, const std::atomic<bool>&) {
    if (image.width == 1) {
      return EngineOutput{.failed = true, .results = std::nullopt};
    }
    if (image.width == 2) {
      throw std::runtime_error("engine broke");
    }
    return reading("fine", 0.9F);
  }};
  EngineRecognizer recognizer(factory.get(), 5s);
  for (const int width : {1, 2}) {
    const RecognitionOutcome outcome = recognizer.ocrImage(image(width));
    EXPECT_FALSE(outcome.text.has_value());
    EXPECT_FALSE(outcome.confidence.has_value());
  }
  EXPECT_EQ(recognizer.ocrImage(image(3)).text, "fine");

  EngineRecognizer noEngine([] { return std::unique_ptr<TextEngine>(); }, 5s);
  EXPECT_FALSE(noEngine.ocrImage(image(3)).text.has_value());
  EXPECT_FALSE(noEngine.ocrImage(nullptr).confidence.has_value());
}

TEST(EngineRecognizer, AbandonsALateRecognitionWithoutWaitingForIt) {
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> sawAbandoned{false};
  FakeFactory factory{
      .behaviour = [&](const RasterImage& image, const std::atomic<bool>& abandoned) {
        if (image.width == 1) {
          // Ignores the request to stop until the test lets it go, like layout
          // analysis, which cannot be interrupted.
          released.wait();
          sawAbandoned = abandoned.load();
          return reading("late", 1.0F);
        }
        return reading("next", 0.5F);
      }};
  {
    EngineRecognizer recognizer(factory.get(), 300ms);
    const auto start = std::chrono::steady_clock::now();
    const RecognitionOutcome late = recognizer.ocrImage(image(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_FALSE(late.text.has_value());
    EXPECT_FALSE(late.confidence.has_value());

    // The first engine is still busy: the next image gets another one.
    const RecognitionOutcome next = recognizer.ocrImage(image(2));
    EXPECT_EQ(next.text, "next");
    EXPECT_EQ(next.confidence, 0.5);
    EXPECT_EQ(factory.made, 2);

    release.set_value();
    // The late result lands in the abandoned call's state, never here.
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(recognizer.ocrImage(image(2)).text, "next");
    }
  }  // the destructor waits for the late worker
  EXPECT_TRUE(sawAbandoned);
}

}  // namespace
}  // namespace sorvi
