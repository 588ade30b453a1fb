#include "driver/driver.h"

#include "driver/path_classification.h"

namespace sorvi {

int runDriver(const std::vector<std::string>& args, Output& output, Pipelines& pipelines) {
  if (args.empty()) {
    output.outputError("", kUsageMessage);
    return 1;
  }
  for (const std::string& path : args) {
    const PathClassification classification = classifyPath(path);
    switch (classification.kind) {
      case PathKind::kPdf:
        pipelines.processPdf(path, output);
        break;
      case PathKind::kImage:
        pipelines.processImage(path, output);
        break;
      case PathKind::kUnsupported:
        output.outputError(path, std::string(kUnsupportedPrefix) + classification.extension);
        break;
    }
  }
  return 0;
}

}  // namespace sorvi
