#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include "recognition/recognizer.h"

namespace sorvi {

// Frames between the driver and its worker processes: one type byte, a
// four-byte little-endian payload length, the payload. A worker takes one
// unit of work at a time and ends each with kDone.
enum class FrameType : std::uint8_t {
  kImageRequest = 'I',      // driver -> worker: payload is the path
  kPageCountRequest = 'C',  // payload is the path of a PDF
  kPageRequest = 'G',       // payload from encodePageRequest
  kStep = 'S',              // worker -> driver: payload is one Step byte
  kLine = 'L',              // an image's encoded record
  kPageCount = 'N',         // payload from encodePageCount
  kPage = 'R',              // payload from encodePageOutcome
  kDone = 'D',              // the unit is finished
};

struct Frame {
  FrameType type;
  std::string payload;
};

// Writes the whole frame; false when the other side is gone.
bool writeFrame(int fd, FrameType type, std::string_view payload);

// Blocks until one whole frame is read; none at end of stream or on error.
std::optional<Frame> readFrame(int fd);

// Page `index` of the PDF at `path`.
struct PageRequest {
  std::string path;
  int index = 0;
};
std::string encodePageRequest(const PageRequest& request);
std::optional<PageRequest> decodePageRequest(std::string_view payload);

// How many pages of a document are read, or kUnopenable.
inline constexpr int kUnopenable = -1;
std::string encodePageCount(int pages);
// None for a malformed payload.
std::optional<int> decodePageCount(std::string_view payload);

// One page's outcome, none when the page was skipped.
std::string encodePageOutcome(const std::optional<RecognitionOutcome>& page);
// False for a malformed payload.
bool decodePageOutcome(std::string_view payload, std::optional<RecognitionOutcome>& page);

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
