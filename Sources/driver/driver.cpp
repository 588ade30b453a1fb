#include "driver/driver.h"

#include "driver/path_classification.h"

namespace sorvi {

int runDriver(const std::vector<std::string>& args, Pipelines& pipelines) {
  if (args.empty()) {
    pipelines.outputError("", kUsageMessage);
    pipelines.finish();
    return 1;
  }
  for (const std::string& path : args) {
    const PathClassification classification = classifyPath(path);
    switch (classification.kind) {
      case PathKind::kPdf:
        pipelines.processPdf(path);
        break;
      case PathKind::kImage:
        pipelines.processImage(path);
        break;
      case PathKind::kUnsupported:
        pipelines.outputError(path, std::string(kUnsupportedPrefix) + classification.extension);
        break;
    }
  }
  pipelines.finish();
  return 0;
}

}  // namespace sorvi
