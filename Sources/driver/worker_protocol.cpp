#include "driver/worker_protocol.h"

#include <unistd.h>
#include <cerrno>

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

std::uint32_t decodeLength(const char* header) {
  std::uint32_t length = 0;
  for (int i = 4; i >= 1; --i) length = (length << 8) | static_cast<unsigned char>(header[i]);
  return length;
}

}  // namespace

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
