#include "driver/local_pipelines.h"

#include "platform/tesseract_engine.h"
#include "recognition/engine_recognizer.h"

namespace sorvi {

void LocalPipelines::loadLibraries() {}

// Until decoding and rendering exist, every such path is a load failure.
void LocalPipelines::processImage(const std::string& path, Output& output) {
  output.outputError(path, "Could not load image");
}

void LocalPipelines::processPdf(const std::string& path, Output& output) {
  output.outputError(path, "Could not load PDF");
}

Recognizer& LocalPipelines::recognizer() {
  if (!recognizer_) {
    recognizer_ = std::make_unique<EngineRecognizer>([] { return makeTesseractEngine(); },
                                                     kRecognitionDeadline);
  }
  return *recognizer_;
}

}  // namespace sorvi
