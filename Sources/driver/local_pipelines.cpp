#include "driver/local_pipelines.h"

#include "platform/poppler_pdf.h"

namespace sorvi {

void LocalPipelines::loadLibraries() { preparePoppler(); }

// Until decoding and rendering exist, every such path is a load failure.
void LocalPipelines::processImage(const std::string& path, Output& output) {
  output.outputError(path, "Could not load image");
}

void LocalPipelines::processPdf(const std::string& path, Output& output) {
  output.outputError(path, "Could not load PDF");
}

}  // namespace sorvi
