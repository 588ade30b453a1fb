// The real engine in-process: what the tool cannot show from outside.
#include <gtest/gtest.h>

#include "platform/image_file_source.h"
#include "platform/tesseract_engine.h"
#include "recognition/engine_recognizer.h"

namespace sorvi {
namespace {

using namespace std::chrono_literals;

TEST(RecognitionEngine, ALateRecognitionOrAMissingModelGivesNoText) {
  const auto image = decodeImageFile(SORVI_FIXTURE_DIR "/images/text_lines.png");
  ASSERT_TRUE(image);
  EngineRecognizer hurried([] { return makeTesseractEngine(); }, 1ms);
  EngineRecognizer noModel([] { return makeTesseractEngine({.language = "zzz"}); },
                           kRecognitionDeadline);
  for (EngineRecognizer* recognizer : {&hurried, &noModel}) {
    const RecognitionOutcome outcome = recognizer->ocrImage(image);
    EXPECT_FALSE(outcome.text.has_value());
    EXPECT_FALSE(outcome.confidence.has_value());
  }
}

}  // namespace
}  // namespace sorvi
