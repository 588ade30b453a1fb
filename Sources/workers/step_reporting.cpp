#include "workers/step_reporting.h"

#include <utility>

namespace sorvi {
namespace {

void report(StepObserver* observer, Step step) {
  if (observer != nullptr) observer->stepStarted(step);
}

class StepReportingPdfDocument : public PdfDocument {
 public:
  StepReportingPdfDocument(std::unique_ptr<PdfDocument> inner, StepObserver* observer)
      : inner_(std::move(inner)), observer_(observer) {}

  int pageCount() override { return inner_->pageCount(); }

  // Fetching a page starts its step: a broken page tree can be slow too.
  std::optional<PageGeometry> pageGeometry(int index) override {
    report(observer_, Step::kRender);
    return inner_->pageGeometry(index);
  }

  std::shared_ptr<const RasterImage> renderPage(int index, double scale, PixelSize size) override {
    report(observer_, Step::kRender);
    return inner_->renderPage(index, scale, size);
  }

 private:
  std::unique_ptr<PdfDocument> inner_;
  StepObserver* observer_;
};

}  // namespace

std::unique_ptr<PdfDocument> StepReportingPdfOpener::open(const std::string& path) {
  std::unique_ptr<PdfDocument> document = inner_.open(path);
  if (!document) return nullptr;
  return std::make_unique<StepReportingPdfDocument>(std::move(document), observer_);
}

RecognitionOutcome StepReportingRecognizer::ocrImage(std::shared_ptr<const RasterImage> image) {
  report(observer_, Step::kRecognize);
  return inner_.ocrImage(std::move(image));
}

}  // namespace sorvi
