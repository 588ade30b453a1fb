#include "workers/worker_protocol.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sorvi {
namespace {

constexpr size_t kHeaderSize = 5;
// No record comes near this; a larger length means a broken stream.
constexpr std::uint32_t kMaxPayload = 256u << 20;

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool readAll(int fd, char* data, size_t size) {
  while (size > 0) {
    const ssize_t got = ::read(fd, data, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

std::uint32_t readInt(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

std::uint32_t decodeLength(const char* header) { return readInt(header + 1); }

void appendInt(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A page's outcome starts with one of these.
constexpr char kSkipped = 'S';
constexpr char kNoText = 'A';
constexpr char kText = 'T';

}  // namespace

std::string encodePageRequest(const PageRequest& request) {
  std::string payload;
  appendInt(payload, static_cast<std::uint32_t>(request.index));
  return payload + request.path;
}

std::optional<PageRequest> decodePageRequest(std::string_view payload) {
  if (payload.size() < 4) return std::nullopt;
  return PageRequest{std::string(payload.substr(4)), static_cast<int>(readInt(payload.data()))};
}

std::string encodePageCount(int pages) {
  std::string payload;
  if (pages >= 0) appendInt(payload, static_cast<std::uint32_t>(pages));
  return payload;
}

std::optional<int> decodePageCount(std::string_view payload) {
  if (payload.empty()) return kUnopenable;
  if (payload.size() != 4) return std::nullopt;
  const std::uint32_t pages = readInt(payload.data());
  if (pages > 1'000'000) return std::nullopt;
  return static_cast<int>(pages);
}

std::string encodePageOutcome(const std::optional<RecognitionOutcome>& page) {
  const char kind = !page ? kSkipped : !page->text ? kNoText : kText;
  std::string payload(1, kind);
  if (kind != kText) return payload;
  // The confidence as its bytes, so the driver's mean is the same to the bit.
  const double confidence = page->confidence.value_or(0.0);
  payload.resize(1 + sizeof confidence);
  std::memcpy(payload.data() + 1, &confidence, sizeof confidence);
  return payload + *page->text;
}

bool decodePageOutcome(std::string_view payload, std::optional<RecognitionOutcome>& page) {
  page.reset();
  if (payload == std::string_view(&kSkipped, 1)) return true;
  if (payload == std::string_view(&kNoText, 1)) {
    page.emplace();
    return true;
  }
  if (payload.size() < 1 + sizeof(double) || payload[0] != kText) return false;
  double confidence = 0.0;
  std::memcpy(&confidence, payload.data() + 1, sizeof confidence);
  page = RecognitionOutcome{std::string(payload.substr(1 + sizeof(double))), confidence};
  return true;
}

bool writeFrame(int fd, FrameType type, std::string_view payload) {
  if (payload.size() > kMaxPayload) return false;
  std::string frame(kHeaderSize, '\0');
  frame[0] = static_cast<char>(type);
  const auto length = static_cast<std::uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) frame[1 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  frame.append(payload);
  return writeAll(fd, frame.data(), frame.size());
}

std::optional<Frame> readFrame(int fd) {
  char header[kHeaderSize];
  if (!readAll(fd, header, kHeaderSize)) return std::nullopt;
  const std::uint32_t length = decodeLength(header);
  if (length > kMaxPayload) return std::nullopt;
  Frame frame{static_cast<FrameType>(header[0]), std::string(length, '\0')};
  if (!readAll(fd, frame.payload.data(), length)) return std::nullopt;
  return frame;
}

FrameReader::Fill FrameReader::fill(int fd) {
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return Fill::kClosed;
    buffer_.append(chunk, static_cast<size_t>(got));
    return Fill::kData;
  }
}

std::optional<Frame> FrameReader::next() {
  if (buffer_.size() < kHeaderSize) return std::nullopt;
  const std::uint32_t length = decodeLength(buffer_.data());
  if (buffer_.size() < kHeaderSize + length) return std::nullopt;
  Frame frame{static_cast<FrameType>(buffer_[0]), buffer_.substr(kHeaderSize, length)};
  buffer_.erase(0, kHeaderSize + length);
  return frame;
}

}  // namespace sorvi
