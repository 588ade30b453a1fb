#include "platform/images/image_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "images/image_orientation.h"
#include "platform/images/image_decoders.h"
#include "platform/images/image_format.h"
#include "platform/images/image_metadata.h"

namespace sorvi {
namespace {

// No image file we can decode within the pixel budget comes near this.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{2} << 30;

// The whole content of a regular file, or absent. Directories, devices and
// pipes are refused: reading them would fail or never end.
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> content;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
      static_cast<std::uint64_t>(info.st_size) <= kMaxFileBytes) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    bool failed = false;
    while (done < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failed = n < 0;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    // A file that shrank while being read is read as far as it goes; the
    // decoders then give what it holds.
    bytes.resize(done);
    if (!failed) content = std::move(bytes);
  }
  ::close(fd);
  return content;
}

class FileImageSource : public ImageSource {
 public:
  FileImageSource(std::vector<std::uint8_t> bytes, ImageFormat format)
      : bytes_(std::move(bytes)), format_(format) {}

  std::shared_ptr<const RasterImage> decodeFirstImage() override {
    try {
      std::optional<DecodedImage> decoded = decode();
      if (!decoded) return nullptr;
      const int orientation = decoded->orientation.value_or(metadata().orientation);
      return std::make_shared<const RasterImage>(
          applyOrientation(std::move(decoded->raster), orientation));
    } catch (...) {
      return nullptr;
    }
  }

  std::optional<ImageProperties> firstImageProperties() override {
    try {
      return metadata().properties;
    } catch (...) {
      return std::nullopt;
    }
  }

 private:
  std::optional<DecodedImage> decode() {
    switch (format_) {
      case ImageFormat::png:
        return decodePng(bytes_);
      case ImageFormat::jpeg:
        return decodeJpeg(bytes_);
      case ImageFormat::tiff:
        return decodeTiff(bytes_);
      case ImageFormat::webp:
        return decodeWebp(bytes_);
      case ImageFormat::heif:
        return decodeHeif(bytes_);
    }
    return std::nullopt;
  }

  // Read once, for the orientation and for the properties.
  const ImageMetadata& metadata() {
    if (!metadata_) {
      if (format_ == ImageFormat::heif) {
        // The Exif block libheif found for the primary image; its
        // Orientation is ignored since libheif has turned the image already.
        const std::vector<std::uint8_t> exifTiff = readHeifExifTiff(bytes_);
        metadata_ = exifTiff.empty() ? ImageMetadata{ImageProperties{}, 1}
                                     : readExifBlockMetadata(exifTiff);
        metadata_->orientation = 1;
      } else {
        metadata_ = readFileMetadata(bytes_);
      }
    }
    return *metadata_;
  }

  std::vector<std::uint8_t> bytes_;
  ImageFormat format_;
  std::optional<ImageMetadata> metadata_;
};

}  // namespace

void initialiseImageLibraries() {
  initialiseTiff();
  initialiseHeif();
  initialiseExiv2();
}

std::unique_ptr<ImageSource> FileImageSourceOpener::open(const std::string& path) {
  try {
    std::optional<std::vector<std::uint8_t>> bytes = readRegularFile(path);
    if (!bytes) return nullptr;
    const std::optional<ImageFormat> format = detectImageFormat(*bytes);
    if (!format) return nullptr;
    return std::make_unique<FileImageSource>(std::move(*bytes), *format);
  } catch (...) {
    return nullptr;
  }
}

std::shared_ptr<const RasterImage> decodeImageFile(const std::string& path) {
  FileImageSourceOpener opener;
  const std::unique_ptr<ImageSource> source = opener.open(path);
  return source ? source->decodeFirstImage() : nullptr;
}

}  // namespace sorvi
