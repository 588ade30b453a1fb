#include "workers/step_reporting.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

// A one-page document behind "ok.pdf", a recognizer that reads an image's
// width, and a log of the steps reported.
struct Fakes : PdfOpener, Recognizer, StepObserver {
  struct Page : PdfDocument {
    int pageCount() override { return 1; }
    std::optional<PageGeometry> pageGeometry(int) override {
      return PageGeometry{{0, 0, 10, 20}, 1};
    }
    std::shared_ptr<const RasterImage> renderPage(int index, double, PixelSize size) override {
      if (index != 0) return nullptr;
      return std::make_shared<RasterImage>(
          RasterImage{.width = size.width, .height = size.height, .rgba = {}});
    }
  };
  std::unique_ptr<PdfDocument> open(const std::string& path) override {
    return path == "ok.pdf" ? std::make_unique<Page>() : nullptr;
  }
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) override {
    return {std::to_string(image->width), 1.0};
  }
  void stepStarted(Step step) override { steps.push_back(step); }
  std::vector<Step> steps;
};

TEST(StepReporting, CallsPassThroughAndEachPageDrawingAndRecognitionIsReported) {
  Fakes fakes;
  StepReportingPdfOpener opener(fakes, &fakes);
  EXPECT_EQ(opener.open("missing.pdf"), nullptr);
  const auto document = opener.open("ok.pdf");
  ASSERT_TRUE(document);
  EXPECT_EQ(document->pageCount(), 1);
  EXPECT_EQ(document->pageGeometry(0)->quarterTurns, 1);
  EXPECT_EQ(document->renderPage(1, 2.0, {20, 40}), nullptr);
  const auto image = document->renderPage(0, 2.0, {20, 40});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->height, 40);
  StepReportingRecognizer recognizer(fakes, &fakes);
  EXPECT_EQ(recognizer.ocrImage(image).text, "20");
  EXPECT_EQ(fakes.steps,
            (std::vector<Step>{Step::kRender, Step::kRender, Step::kRender, Step::kRecognize}));
  // Without an observer nothing is reported and nothing breaks.
  EXPECT_EQ(StepReportingRecognizer(fakes, nullptr).ocrImage(image).confidence, 1.0);
}

}  // namespace
}  // namespace sorvi
