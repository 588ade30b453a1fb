#pragma once

#include <memory>
#include <string>

#include "images/image_source.h"

namespace sorvi {

// Opens PNG, JPEG, TIFF, WebP and HEIF files, told apart by their leading
// bytes, with libpng, libjpeg, libtiff, libwebp, libheif and exiv2.
class FileImageSourceOpener : public ImageSourceOpener {
 public:
  std::unique_ptr<ImageSource> open(const std::string& path) override;
};

// Image 0 of the file, upright; null when it cannot be decoded. For tools
// and tests that want pixels without the pipeline.
std::shared_ptr<const RasterImage> decodeImageFile(const std::string& path);

// Sets the libraries up and mutes their logging, ahead of the first file
// (and of any sandbox that would stop them loading their parts later).
void initialiseImageLibraries();

}  // namespace sorvi
