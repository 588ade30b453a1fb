// Arbitrary bytes as an image file, through the real image-properties layer
// (format detection, exiv2, libheif for HEIF) and `extractExif`. Nothing may
// crash, and whatever metadata comes out must be well-formed.
#include <cstdint>
#include <memory>

#include "exif_checks.h"
#include "memory_file.h"
#include "metadata/extract_exif.h"
#include "platform/image_file_source.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  sorvi::initialiseImageLibraries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static sorvi::fuzz::MemoryFile file;
  file.write(data, size);
  sorvi::FileImageSourceOpener opener;
  const std::unique_ptr<sorvi::ImageSource> source = opener.open(file.path());
  if (source) {
    sorvi::fuzz::checkExifData(sorvi::extractExif(source->firstImageProperties()));
  }
  return 0;
}
