#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "metadata/image_properties.h"

namespace sorvi {

// What the metadata of image 0 says: the properties photo metadata is read
// from (absent when the metadata cannot be read) and the Orientation (1-8,
// 1 when missing or out of range).
struct ImageMetadata {
  std::optional<ImageProperties> properties;
  int orientation = 1;
};

// Mutes exiv2 and sets up its XMP parser; done once, also on first use.
void initialiseExiv2();

// From a whole PNG, JPEG, TIFF or WebP file.
ImageMetadata readFileMetadata(std::span<const std::uint8_t> file);

// From a bare Exif block that starts at its TIFF header.
ImageMetadata readExifBlockMetadata(std::span<const std::uint8_t> tiffBlock);

}  // namespace sorvi
