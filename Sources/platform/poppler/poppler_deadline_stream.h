#pragma once

#include <chrono>
#include <memory>

// Object.h first: its inline stream accessors need Stream complete.
#include <Object.h>
#include <Stream.h>

namespace sorvi {

// When the reads of a document's file end; shared by its streams.
struct ReadDeadline {
  std::chrono::steady_clock::time_point end = std::chrono::steady_clock::time_point::max();
};

class ReadDeadlineScope {
 public:
  ReadDeadlineScope(ReadDeadline& deadline, std::chrono::steady_clock::time_point end)
      : deadline_(deadline) {
    deadline_.end = end;
  }
  ~ReadDeadlineScope() { deadline_.end = std::chrono::steady_clock::time_point::max(); }
  ReadDeadlineScope(const ReadDeadlineScope&) = delete;
  ReadDeadlineScope& operator=(const ReadDeadlineScope&) = delete;

 private:
  ReadDeadline& deadline_;
};

// Opening a document can inflate streams too (object streams holding the
// catalog or the page tree), and poppler offers no abort there, nor inside
// one drawing operator. The file is read through this stream, which reads as
// ended once the step's time is up: whatever poppler is decoding then ends at
// once, and the document or the page is refused.
class DeadlineFileStream : public FileStream {
 public:
  DeadlineFileStream(GooFile* file, std::shared_ptr<const ReadDeadline> deadline, Goffset start,
                     bool limited, Goffset length, Object&& dict)
      : FileStream(file, start, limited, length, std::move(dict)),
        file_(file),
        deadline_(std::move(deadline)),
        limited_(limited) {}

  BaseStream* copy() override;
  Stream* makeSubStream(Goffset start, bool limited, Goffset length, Object&& dict) override;
  int getChar() override { return expired() ? EOF : FileStream::getChar(); }
  int lookChar() override { return expired() ? EOF : FileStream::lookChar(); }
  int getUnfilteredChar() override { return getChar(); }
  bool hasGetChars() override { return true; }
  int getChars(int count, unsigned char* buffer) override;

 private:
  bool expired();

  GooFile* file_;
  std::shared_ptr<const ReadDeadline> deadline_;
  bool limited_;
  unsigned reads_ = 0;
  bool expired_ = false;
};

}  // namespace sorvi
