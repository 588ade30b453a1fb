#include "workers/step_reporting.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

class StepLog : public StepObserver {
 public:
  void stepStarted(Step step) override { steps.push_back(step); }
  std::vector<Step> steps;
};

class OnePageDocument : public PdfDocument {
 public:
  int pageCount() override { return 1; }
  std::optional<PageGeometry> pageGeometry(int index) override {
    if (index != 0) return std::nullopt;
    return PageGeometry{{0, 0, 10, 20}, 1};
  }
  std::shared_ptr<const RasterImage> renderPage(int index, double /*scale*/,
                                                PixelSize size) override {
    if (index != 0) return nullptr;
    auto image = std::make_shared<RasterImage>();
    image->width = size.width;
    image->height = size.height;
    return image;
  }
};

class Opener : public PdfOpener {
 public:
  std::unique_ptr<PdfDocument> open(const std::string& path) override {
    if (path != "ok.pdf") return nullptr;
    return std::make_unique<OnePageDocument>();
  }
};

class EchoRecognizer : public Recognizer {
 public:
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) override {
    return {std::to_string(image->width), 1.0};
  }
};

TEST(PdfSteps, PassCallsThroughAndReportEachPageStep) {
  StepLog log;
  Opener inner;
  StepReportingPdfOpener opener(inner, &log);
  EXPECT_EQ(opener.open("missing.pdf"), nullptr);
  EXPECT_TRUE(log.steps.empty());

  const auto document = opener.open("ok.pdf");
  ASSERT_TRUE(document);
  EXPECT_EQ(document->pageCount(), 1);
  EXPECT_EQ(document->pageGeometry(0)->quarterTurns, 1);
  const auto image = document->renderPage(0, 2.0, {20, 40});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->height, 40);

  EchoRecognizer echo;
  StepReportingRecognizer recognizer(echo, &log);
  EXPECT_EQ(recognizer.ocrImage(image).text, "20");
  EXPECT_EQ(log.steps, (std::vector<Step>{Step::kRender, Step::kRender, Step::kRecognize}));

  // Without an observer nothing is reported and nothing breaks.
  StepReportingRecognizer quiet(echo, nullptr);
  EXPECT_EQ(quiet.ocrImage(image).confidence, 1.0);
}

}  // namespace
}  // namespace sorvi
