#include "platform/images/image_format.h"

#include <algorithm>
#include <string_view>

namespace sorvi {
namespace {

bool hasAt(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view magic) {
  if (bytes.size() < at + magic.size()) return false;
  return std::equal(magic.begin(), magic.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
}

}  // namespace

std::optional<ImageFormat> detectImageFormat(std::span<const std::uint8_t> bytes) {
  using std::string_view_literals::operator""sv;
  if (hasAt(bytes, 0, "\x89PNG\r\n\x1A\n"sv)) return ImageFormat::png;
  if (hasAt(bytes, 0, "\xFF\xD8\xFF"sv)) return ImageFormat::jpeg;
  if (hasAt(bytes, 0, "II*\0"sv) || hasAt(bytes, 0, "MM\0*"sv) || hasAt(bytes, 0, "II+\0"sv) ||
      hasAt(bytes, 0, "MM\0+"sv)) {
    return ImageFormat::tiff;
  }
  if (hasAt(bytes, 0, "RIFF"sv) && hasAt(bytes, 8, "WEBP"sv)) return ImageFormat::webp;
  // ISO base media files: the HEIF decoder tells images from other kinds.
  if (hasAt(bytes, 4, "ftyp"sv)) return ImageFormat::heif;
  return std::nullopt;
}

}  // namespace sorvi
