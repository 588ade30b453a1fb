#include "driver/local_pipelines.h"

#include "driver/image_pipeline.h"
#include "driver/step_reporting.h"
#include "pdf/process_pdf.h"
#include "platform/image_file_source.h"
#include "platform/poppler_pdf.h"
#include "platform/tesseract_engine.h"
#include "recognition/engine_recognizer.h"

namespace sorvi {

void LocalPipelines::loadLibraries() {
  initialiseImageLibraries();
  preparePoppler();
}

void LocalPipelines::processImage(const std::string& path, Output& output) {
  FileImageSourceOpener opener;
  StepReportingRecognizer recognizer(this->recognizer(), observer_);
  sorvi::processImage(path, opener, recognizer, output);
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
