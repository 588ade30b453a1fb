#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvi {

// Where finished result lines go.
class LineSink {
 public:
  virtual ~LineSink() = default;
  // Writes `line` and one line feed.
  virtual void writeLine(std::string_view line) = 0;
};

// Standard output, flushed after every line so that a reader on a pipe
// gets each result as soon as it is known and none is lost to a later kill.
// A write that fails (the reader is gone, the disk is full) means no later
// line can reach anyone either: `outputCut` is called and is not expected
// to return.
class StdoutLineSink : public LineSink {
 public:
  explicit StdoutLineSink(void (*outputCut)()) : outputCut_(outputCut) {}
  void writeLine(std::string_view line) override;

 private:
  void (*outputCut_)();
};

// Keeps lines in memory, for tests.
class MemoryLineSink : public LineSink {
 public:
  void writeLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

}  // namespace sorvi
