#pragma once

#include <memory>
#include <string>

#include "driver/image_source.h"

namespace sorvi {

// Opens PNG, JPEG, TIFF, WebP and HEIF files, told apart by their leading
// bytes, with libpng, libjpeg, libtiff, libwebp, libheif and exiv2.
class FileImageSourceOpener : public ImageSourceOpener {
 public:
  std::unique_ptr<ImageSource> open(const std::string& path) override;
};

}  // namespace sorvi
