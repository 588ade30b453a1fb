#include "workers/worker_units.h"

#include <utility>

#include "detection/detecting_engine.h"
#include "images/image_pipeline.h"
#include "pdf/process_pdf.h"
#include "platform/images/image_file_source.h"
#include "platform/opencv/opencv_setup.h"
#include "platform/opencv/opencv_text_detector.h"
#include "platform/opencv/pp_ocr_line_reader.h"
#include "platform/poppler/poppler_pdf.h"
#include "platform/tesseract/tesseract_engine.h"
#include "workers/step_reporting.h"

namespace sorvi {

namespace {

// Tesseract reads pages; the PP-OCR detector and line reader, when their
// models are there, read what it misses on photos.
std::unique_ptr<TextEngine> makeEngine(const std::string& textModels) {
  std::unique_ptr<TextEngine> page = makeTesseractEngine();
  if (!page || textModels.empty()) return page;
  return std::make_unique<DetectingEngine>(std::move(page),
                                           makeOpenCvTextDetector(textModels + "/det.onnx"),
                                           makePpOcrLineReader(textModels));
}

}  // namespace

WorkerUnits::WorkerUnits(StepObserver* observer, std::string textModels)
    : observer_(observer), textModels_(std::move(textModels)) {}

void WorkerUnits::loadLibraries() {
  initialiseImageLibraries();
  setUpOpenCv();
  preparePoppler();
}

void WorkerUnits::processImage(const std::string& path, Output& output) {
  document_.reset();
  documentPath_.clear();
  FileImageSourceOpener opener;
  StepReportingRecognizer recognizer(this->recognizer(), observer_);
  sorvi::processImage(path, opener, recognizer, output);
}

std::optional<int> WorkerUnits::countPages(const std::string& path) {
  PdfDocument* opened = document(path);
  if (opened == nullptr) return std::nullopt;
  return pagesToRead(*opened);
}

std::optional<RecognitionOutcome> WorkerUnits::recognizePage(const std::string& path, int index) {
  PdfDocument* opened = document(path);
  if (opened == nullptr || index < 0 || index >= pagesToRead(*opened)) return std::nullopt;
  StepReportingRecognizer recognizer(this->recognizer(), observer_);
  return recognizePdfPage(*opened, index, recognizer);
}

void WorkerUnits::waitForAbandoned() {
  if (recognizer_) recognizer_->waitForAbandoned();
}

PdfDocument* WorkerUnits::document(const std::string& path) {
  if (document_ && documentPath_ == path) return document_.get();
  document_.reset();
  documentPath_ = path;
  PopplerPdfOpener poppler;
  StepReportingPdfOpener opener(poppler, observer_);
  document_ = opener.open(path);
  return document_.get();
}

EngineRecognizer& WorkerUnits::recognizer() {
  if (!recognizer_) {
    recognizer_ = std::make_unique<EngineRecognizer>(
        [models = textModels_] { return makeEngine(models); }, kRecognitionDeadline);
  }
  return *recognizer_;
}

}  // namespace sorvi
