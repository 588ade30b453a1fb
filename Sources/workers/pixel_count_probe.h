#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sorvi {

// Up to `length` bytes of a file from `offset`; fewer at its end or on error.
using ByteReader = std::function<std::string(std::uint64_t offset, std::size_t length)>;

// Width times height as the header of a PNG, JPEG, TIFF, WebP or HEIF file
// states it, without decoding; nothing when the header cannot be read.
// A rough measure of how much work an image is, never a promise that it
// loads.
std::optional<std::uint64_t> pixelCountFromHeader(const ByteReader& read);

// The same for the regular file at `path`. Anything else (a FIFO, a
// directory, a device) is not opened for reading, so this never blocks.
std::optional<std::uint64_t> probePixelCount(const std::string& path);

}  // namespace sorvi
