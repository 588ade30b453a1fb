#pragma once

#include <string>
#include <vector>

#include "output/output.h"

namespace sorvi {

// The two pipelines a path can be handed to. Each prints exactly one record
// for the path through `output` and returns.
class Pipelines {
 public:
  virtual ~Pipelines() = default;
  virtual void processImage(const std::string& path, Output& output) = 0;
  virtual void processPdf(const std::string& path, Output& output) = 0;
};

inline constexpr std::string_view kUsageMessage = "Usage: sorvi-ocr <path1> [path2] ...";
inline constexpr std::string_view kUnsupportedPrefix = "Unsupported file type: ";

// Walks `args` (the paths, program name excluded) in order and returns the
// process's exit status: 1 after the usage error, otherwise 0.
int runDriver(const std::vector<std::string>& args, Output& output, Pipelines& pipelines);

}  // namespace sorvi
