#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/path_classification.h"

namespace sorvi {

// Frames between the driver and its worker process: one type byte, a
// four-byte little-endian payload length, the payload.
enum class FrameType : std::uint8_t {
  kImageRequest = 'I',  // driver -> worker: payload is the path
  kPdfRequest = 'P',
  kStep = 'S',  // worker -> driver: payload is one Step byte
  kLine = 'L',  // the path's encoded record
  kDone = 'D',  // the path is finished
};

struct Frame {
  FrameType type;
  std::string payload;
};

// Writes the whole frame; false when the other side is gone.
bool writeFrame(int fd, FrameType type, std::string_view payload);

// Blocks until one whole frame is read; none at end of stream or on error.
std::optional<Frame> readFrame(int fd);

// Collects frames from a descriptor read piece by piece, for a reader that
// polls with a deadline.
class FrameReader {
 public:
  enum class Fill { kData, kClosed };
  // Reads what is available now; kClosed at end of stream or on error.
  Fill fill(int fd);
  std::optional<Frame> next();

 private:
  std::string buffer_;
};

}  // namespace sorvi
