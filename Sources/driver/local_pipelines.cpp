#include "driver/local_pipelines.h"

#include "driver/pdf_steps.h"
#include "pdf/process_pdf.h"
#include "platform/poppler_pdf.h"
#include "platform/tesseract_engine.h"
#include "recognition/engine_recognizer.h"

namespace sorvi {

void LocalPipelines::loadLibraries() { preparePoppler(); }

// Until image decoding exists, every such path is a load failure.
void LocalPipelines::processImage(const std::string& path, Output& output) {
  output.outputError(path, "Could not load image");
}

void LocalPipelines::processPdf(const std::string& path, Output& output) {
  PopplerPdfOpener poppler;
  StepReportingPdfOpener opener(poppler, observer_);
  StepReportingRecognizer recognizer(this->recognizer(), observer_);
  sorvi::processPdf(path, opener, recognizer, output);
}

Recognizer& LocalPipelines::recognizer() {
  if (!recognizer_) {
    recognizer_ = std::make_unique<EngineRecognizer>([] { return makeTesseractEngine(); },
                                                     kRecognitionDeadline);
  }
  return *recognizer_;
}

}  // namespace sorvi
