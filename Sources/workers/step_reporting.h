#pragma once

#include "pdf/pdf_document.h"
#include "recognition/recognizer.h"
#include "workers/step_observer.h"

namespace sorvi {

// Opens documents with `inner` and reports each page's drawing to
// `observer` as a render step, so the supervisor bounds it in time.
class StepReportingPdfOpener : public PdfOpener {
 public:
  StepReportingPdfOpener(PdfOpener& inner, StepObserver* observer)
      : inner_(inner), observer_(observer) {}
  std::unique_ptr<PdfDocument> open(const std::string& path) override;

 private:
  PdfOpener& inner_;
  StepObserver* observer_;
};

// Reports each recognition to `observer` before handing it to `inner`.
class StepReportingRecognizer : public Recognizer {
 public:
  StepReportingRecognizer(Recognizer& inner, StepObserver* observer)
      : inner_(inner), observer_(observer) {}
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) override;

 private:
  Recognizer& inner_;
  StepObserver* observer_;
};

}  // namespace sorvi
