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
  // A descriptor that poll(2) flags with POLLERR (a pipe) or POLLHUP (a
  // socket) once the reader is gone, before any line is due; -1 if none.
  [[nodiscard]] virtual int readerWatch() const { return -1; }
  // Its reader is gone: as a write that failed.
  virtual void readerGone() {}
};

// Standard output, flushed after every line so that a reader on a pipe
// gets each result as soon as it is known and none is lost to a later kill.
// A write that fails (the reader is gone, the disk is full) means no later
// line can reach anyone either: `outputCut` is called and is not expected
// to return. Only a pipe or a socket can tell that its reader went away
// while no line is due; a file or a terminal never does.
class StdoutLineSink : public LineSink {
 public:
  explicit StdoutLineSink(void (*outputCut)());
  void writeLine(std::string_view line) override;
  [[nodiscard]] int readerWatch() const override { return watch_; }
  void readerGone() override { outputCut_(); }

 private:
  void (*outputCut_)();
  int watch_ = -1;
};

// Keeps lines in memory, for tests.
class MemoryLineSink : public LineSink {
 public:
  void writeLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

}  // namespace sorvi
