#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvi {

// Where the driver hands each path. Every call takes the next place in the
// output: its one record comes out after those of all earlier calls, though
// it may be written later; finish() returns once every record is out.
class Pipelines {
 public:
  virtual ~Pipelines() = default;
  virtual void processImage(const std::string& path) = 0;
  virtual void processPdf(const std::string& path) = 0;
  virtual void outputError(const std::string& path, std::string_view message) = 0;
  virtual void finish() = 0;
};

inline constexpr std::string_view kUsageMessage = "Usage: sorvi-ocr <path1> [path2] ...";
inline constexpr std::string_view kUnsupportedPrefix = "Unsupported file type: ";

// Walks `args` (the paths, program name excluded) in order and returns the
// process's exit status: 1 after the usage error, otherwise 0.
int runDriver(const std::vector<std::string>& args, Pipelines& pipelines);

}  // namespace sorvi
