#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "recognition/raster_image.h"

namespace sorvi {

// Image 0 of a file as stored, in straight-alpha RGBA8.
struct DecodedImage {
  RasterImage raster;
  // The orientation the decoder itself found and still has to be applied;
  // absent when the decoder does not know it (the Exif block tells).
  std::optional<int> orientation;
};

// Library set-up, done once; each decoder also does it on first use.
void initialiseTiff();
void initialiseHeif();

// Each decoder gives what a viewer would show of a truncated or damaged
// file: the part that decodes, the rest filled in. Absent only when nothing
// decodes (no valid header, no picture data) or the image is beyond the
// memory budget. None of them throws or writes anywhere.
std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes);
std::optional<DecodedImage> decodeJpeg(std::span<const std::uint8_t> bytes);
std::optional<DecodedImage> decodeTiff(std::span<const std::uint8_t> bytes);
std::optional<DecodedImage> decodeWebp(std::span<const std::uint8_t> bytes);

// A HEIF file's primary image, with the container's rotation and mirroring
// already applied (its orientation is 1).
std::optional<DecodedImage> decodeHeif(std::span<const std::uint8_t> bytes);

// The Exif block of a HEIF file's primary image from its TIFF header on;
// empty when there is none.
std::vector<std::uint8_t> readHeifExifTiff(std::span<const std::uint8_t> bytes);

}  // namespace sorvi
