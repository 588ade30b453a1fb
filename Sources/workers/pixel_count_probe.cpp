#include "workers/pixel_count_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "platform/images/image_format.h"

namespace sorvi {
namespace {

using Extent = std::optional<std::uint64_t>;

std::uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

Extent area(std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0) return std::nullopt;
  return width * height;
}

Extent png(std::string_view head) {
  if (head.size() < 24 || head.substr(12, 4) != "IHDR") return std::nullopt;
  return area(bigEndian(head, 16, 4), bigEndian(head, 20, 4));
}

// Walks the marker segments to the first start-of-frame.
Extent jpeg(const ByteReader& read) {
  std::uint64_t at = 2;
  for (int segments = 0; segments < 4096; ++segments) {
    const std::string marker = read(at, 9);
    if (marker.size() < 4 || static_cast<unsigned char>(marker[0]) != 0xFF) return std::nullopt;
    const auto type = static_cast<unsigned char>(marker[1]);
    if (type == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (type == 0x01 || (type >= 0xD0 && type <= 0xD7)) {  // segments without a length
      at += 2;
      continue;
    }
    const bool startOfFrame =
        type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC;
    if (startOfFrame) {
      if (marker.size() < 9) return std::nullopt;
      return area(bigEndian(marker, 7, 2), bigEndian(marker, 5, 2));
    }
    if (type == 0xD9 || type == 0xDA) return std::nullopt;  // end of image, or scan data
    at += 2 + bigEndian(marker, 2, 2);
  }
  return std::nullopt;
}

Extent webp(std::string_view head) {
  if (head.size() < 30) return std::nullopt;
  const std::string_view chunk = head.substr(12, 4);
  if (chunk == "VP8X") {
    return area(littleEndian(head, 24, 3) + 1ULL, littleEndian(head, 27, 3) + 1ULL);
  }
  if (chunk == "VP8L") {
    const std::uint32_t bits = littleEndian(head, 21, 4);
    return area((bits & 0x3FFF) + 1ULL, ((bits >> 14) & 0x3FFF) + 1ULL);
  }
  if (chunk == "VP8 ") {
    return area(littleEndian(head, 26, 2) & 0x3FFF, littleEndian(head, 28, 2) & 0x3FFF);
  }
  return std::nullopt;
}

// The width and height tags of the first directory of a classic TIFF
// (a BigTIFF, version 43, is left unmeasured).
Extent tiff(const ByteReader& read, std::string_view head) {
  const bool little = head[0] == 'I';
  const auto number = [little](std::string_view bytes, std::size_t at, std::size_t width) {
    return little ? littleEndian(bytes, at, width) : bigEndian(bytes, at, width);
  };
  if (number(head, 2, 2) != 42) return std::nullopt;
  const std::uint32_t directory = number(head, 4, 4);
  const std::string countBytes = read(directory, 2);
  if (countBytes.size() < 2) return std::nullopt;
  const std::size_t entries = number(countBytes, 0, 2);
  const std::string table = read(directory + 2, entries * 12);
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  for (std::size_t entry = 0; entry + 12 <= table.size(); entry += 12) {
    const std::uint32_t tag = number(table, entry, 2);
    const std::uint32_t type = number(table, entry + 2, 2);
    if ((tag != 256 && tag != 257) || (type != 3 && type != 4)) continue;
    const std::uint32_t value = number(table, entry + 8, type == 3 ? 2 : 4);
    (tag == 256 ? width : height) = value;
  }
  return area(width, height);
}

// HEIF states each image's size in an `ispe` property of the `meta` box; a
// grid's full size is the largest of them.
Extent heif(const ByteReader& read) {
  constexpr std::size_t kMaxMetaBytes = 1 << 20;
  std::uint64_t at = 0;
  for (int boxes = 0; boxes < 64; ++boxes) {
    const std::string header = read(at, 16);
    if (header.size() < 8) return std::nullopt;
    std::uint64_t size = bigEndian(header, 0, 4);
    std::size_t headerSize = 8;
    if (size == 1 && header.size() == 16) {
      size = (std::uint64_t{bigEndian(header, 8, 4)} << 32) | bigEndian(header, 12, 4);
      headerSize = 16;
    }
    if (header.substr(4, 4) == "meta") {
      const std::string meta = read(at + headerSize, kMaxMetaBytes);
      std::uint64_t largest = 0;
      for (std::size_t found = meta.find("ispe");
           found != std::string::npos && found + 16 <= meta.size();
           found = meta.find("ispe", found + 4)) {
        largest = std::max<std::uint64_t>(
            largest, std::uint64_t{bigEndian(meta, found + 8, 4)} * bigEndian(meta, found + 12, 4));
      }
      return largest > 0 ? Extent(largest) : std::nullopt;
    }
    if (size < headerSize) return std::nullopt;
    at += size;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> pixelCountFromHeader(const ByteReader& read) {
  const std::string head = read(0, 32);
  if (head.size() < 12) return std::nullopt;
  const auto format =
      detectImageFormat({reinterpret_cast<const std::uint8_t*>(head.data()), head.size()});
  if (!format) return std::nullopt;
  switch (*format) {
    case ImageFormat::png:
      return png(head);
    case ImageFormat::jpeg:
      return jpeg(read);
    case ImageFormat::webp:
      return webp(head);
    case ImageFormat::tiff:
      return tiff(read, head);
    case ImageFormat::heif:
      return heif(read);
  }
  return std::nullopt;
}

std::optional<std::uint64_t> probePixelCount(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::uint64_t> pixels;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    pixels = pixelCountFromHeader([fd](std::uint64_t offset, std::size_t length) {
      std::string bytes(length, '\0');
      const ssize_t got = ::pread(fd, bytes.data(), length, static_cast<off_t>(offset));
      bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
      return bytes;
    });
  }
  ::close(fd);
  return pixels;
}

}  // namespace sorvi
