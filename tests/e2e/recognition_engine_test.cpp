// The recognizer on the real Tesseract engine, in-process, on rendered text.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/image_file_source.h"
#include "platform/tesseract_engine.h"
#include "recognition/engine_recognizer.h"
#include "tool_run.h"

namespace sorvi {
namespace {

using namespace std::chrono_literals;

// Collects what is written to standard error while it lives.
class StderrCapture {
 public:
  StderrCapture() : file_(std::tmpfile()), saved_(dup(STDERR_FILENO)) {
    std::fflush(stderr);
    dup2(fileno(file_), STDERR_FILENO);
  }
  ~StderrCapture() {
    restore();
    std::fclose(file_);
  }
  std::string text() {
    restore();
    std::string text;
    std::rewind(file_);
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) {
      text += static_cast<char>(c);
    }
    return text;
  }

 private:
  void restore() {
    if (saved_ < 0) {
      return;
    }
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_;
};

std::shared_ptr<const RasterImage> fixture(const std::string& name) {
  auto image = decodeImageFile(e2e::fixturePath(name));
  EXPECT_TRUE(image) << name;
  return image;
}

TEST(RecognitionEngine, ReadsRenderedTextQuietly) {
  StderrCapture stderrText;
  EngineRecognizer recognizer([] { return makeTesseractEngine(); }, kRecognitionDeadline);

  const RecognitionOutcome lines = recognizer.ocrImage(fixture("text_lines.png"));
  ASSERT_TRUE(lines.text.has_value());
  EXPECT_EQ(*lines.text, "The quick brown fox\njumps over the lazy dog");
  ASSERT_TRUE(lines.confidence.has_value());
  EXPECT_GT(*lines.confidence, 0.0);
  EXPECT_LE(*lines.confidence, 1.0);

  // Dark text on a transparent background stays readable.
  const RecognitionOutcome transparent = recognizer.ocrImage(fixture("text_on_transparent.png"));
  EXPECT_EQ(transparent.text, "Transparent morning light");
  EXPECT_TRUE(transparent.confidence.has_value());

  EXPECT_EQ(recognizer.ocrImage(fixture("text_binary.png")).text, "Binary pixels only");

  const RecognitionOutcome blank = recognizer.ocrImage(fixture("blank.png"));
  EXPECT_FALSE(blank.text.has_value());
  EXPECT_FALSE(blank.confidence.has_value());

  EXPECT_EQ(stderrText.text(), "");
}

TEST(RecognitionEngine, ReadsPagesTurnedWithoutATag) {
  StderrCapture stderrText;
  EngineRecognizer recognizer([] { return makeTesseractEngine(); }, kRecognitionDeadline);
  for (const char* name : {"page_180.png", "page_90.png"}) {
    EXPECT_EQ(recognizer.ocrImage(fixture(name)).text,
              "Every morning the baker opens\nthe shop before the sun rises and\nsells fresh "
              "bread to the people\nwho walk past on their way to\nwork in the old harbour town.")
        << name;
  }
  EXPECT_EQ(stderrText.text(), "");
}

TEST(RecognitionEngine, AbandonsARecognitionPastItsDeadline) {
  StderrCapture stderrText;
  {
    EngineRecognizer recognizer([] { return makeTesseractEngine(); }, 1ms);
    const RecognitionOutcome outcome = recognizer.ocrImage(fixture("text_lines.png"));
    EXPECT_FALSE(outcome.text.has_value());
    EXPECT_FALSE(outcome.confidence.has_value());
  }  // waits for the cancelled recognition
  EXPECT_EQ(stderrText.text(), "");
}

TEST(RecognitionEngine, AMissingModelFailsQuietly) {
  StderrCapture stderrText;
  EngineRecognizer recognizer([] { return makeTesseractEngine({.language = "zzz"}); },
                              kRecognitionDeadline);
  const RecognitionOutcome outcome = recognizer.ocrImage(fixture("text_lines.png"));
  EXPECT_FALSE(outcome.text.has_value());
  EXPECT_FALSE(outcome.confidence.has_value());
  EXPECT_EQ(stderrText.text(), "");
}

}  // namespace
}  // namespace sorvi
