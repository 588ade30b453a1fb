#pragma once

#include <memory>
#include <optional>
#include <string>

#include "metadata/image_properties.h"
#include "recognition/raster_image.h"

namespace sorvi {

// One opened image file. Reads only image 0 of files that hold several.
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  // Image 0 as a viewer shows it (orientation applied), or null when it
  // cannot be decoded or would not fit the memory budget. Never throws.
  virtual std::shared_ptr<const RasterImage> decodeFirstImage() = 0;
  // The metadata of image 0, or absent when it cannot be read. Never throws.
  virtual std::optional<ImageProperties> firstImageProperties() = 0;
};

// Opens image files by their content; the name plays no part.
class ImageSourceOpener {
 public:
  virtual ~ImageSourceOpener() = default;
  // Null when the path names no readable regular file in a known image format.
  // Never throws.
  virtual std::unique_ptr<ImageSource> open(const std::string& path) = 0;
};

}  // namespace sorvi
