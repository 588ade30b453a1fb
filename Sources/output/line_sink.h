#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvi {

// Where finished result lines go.
class LineSink {
 public:
  virtual ~LineSink() = default;
  // Writes `line` and one line feed. Failures are ignored: there is no one
  // left to tell.
  virtual void writeLine(std::string_view line) = 0;
};

// Standard output, flushed after every line so that a reader on a pipe
// gets each result as soon as it is known and none is lost to a later kill.
class StdoutLineSink : public LineSink {
 public:
  void writeLine(std::string_view line) override;
};

// Keeps lines in memory, for tests.
class MemoryLineSink : public LineSink {
 public:
  void writeLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

}  // namespace sorvi
