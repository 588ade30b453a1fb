#include "platform/poppler/poppler_deadline_stream.h"

namespace sorvi {

BaseStream* DeadlineFileStream::copy() {
  return new DeadlineFileStream(file_, deadline_, getStart(), limited_, length, dict.copy());
}

Stream* DeadlineFileStream::makeSubStream(Goffset start, bool limited, Goffset length,
                                          Object&& dict) {
  return new DeadlineFileStream(file_, deadline_, start, limited, length, std::move(dict));
}

int DeadlineFileStream::getChars(int count, unsigned char* buffer) {
  if (expired()) return 0;
  int got = 0;
  for (int c = 0; got < count && (c = FileStream::getChar()) != EOF;) {
    buffer[got++] = static_cast<unsigned char>(c);
  }
  return got;
}

// The clock is read once every few thousand bytes: compressed data comes
// in a byte at a time, and a few thousand bytes of it inflate to at most a
// few megabytes. Once past, every read asks again, as the next step's
// deadline may have replaced this one.
bool DeadlineFileStream::expired() {
  if (!expired_ && reads_++ % 4096 != 0) return false;
  expired_ = std::chrono::steady_clock::now() >= deadline_->end;
  return expired_;
}

}  // namespace sorvi
