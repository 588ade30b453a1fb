#include "driver/local_pipelines.h"

#include "driver/image_pipeline.h"
#include "platform/image_file_source.h"

namespace sorvi {
namespace {

// Stands in until a recognition engine is linked: every image gets the
// outcome of an engine that found nothing, so its metadata still shows.
class NoRecognizer : public Recognizer {
 public:
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> /*image*/) override { return {}; }
};

}  // namespace

void LocalPipelines::loadLibraries() { initialiseImageLibraries(); }

void LocalPipelines::processImage(const std::string& path, Output& output) {
  FileImageSourceOpener opener;
  NoRecognizer recognizer;
  sorvi::processImage(path, opener, recognizer, output, observer_);
}

void LocalPipelines::processPdf(const std::string& path, Output& output) {
  output.outputError(path, "Could not load PDF");
}

}  // namespace sorvi
