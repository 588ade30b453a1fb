#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace sorvi {

enum class ImageFormat { png, jpeg, tiff, webp, heif };

// The format named by the file's leading bytes, or absent for anything else.
std::optional<ImageFormat> detectImageFormat(std::span<const std::uint8_t> bytes);

}  // namespace sorvi
