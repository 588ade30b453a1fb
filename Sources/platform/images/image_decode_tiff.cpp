#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "images/image_budget.h"
#include "platform/images/image_decoders.h"

namespace sorvi {
namespace {

// A TIFF read straight from memory.
struct MemoryFile {
  std::span<const std::uint8_t> bytes;
  toff_t position = 0;
};

tsize_t readMemory(thandle_t handle, tdata_t buffer, tsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (size <= 0 || file->position >= file->bytes.size()) return 0;
  const auto count =
      std::min<toff_t>(static_cast<toff_t>(size), file->bytes.size() - file->position);
  std::memcpy(buffer, file->bytes.data() + file->position, count);
  file->position += count;
  return static_cast<tsize_t>(count);
}

tsize_t writeNothing(thandle_t /*handle*/, tdata_t /*buffer*/, tsize_t /*size*/) { return -1; }

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = file->position;
  if (whence == SEEK_END) base = file->bytes.size();
  file->position = base + offset;
  return file->position;
}

int closeNothing(thandle_t /*handle*/) { return 0; }

toff_t sizeOfMemory(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }

// libtiff hands associated alpha over; the raster wants it straight.
std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
  if (alpha == 0 || alpha == 255) return static_cast<std::uint8_t>(channel);
  return static_cast<std::uint8_t>(
      std::min<std::uint32_t>(255, (channel * 255 + alpha / 2) / alpha));
}

// Sample `index` of a row of `bits`-bit samples packed from the high bit on.
std::uint32_t sampleAt(const std::vector<std::uint8_t>& row, std::size_t index, unsigned bits) {
  std::uint64_t bit = static_cast<std::uint64_t>(index) * bits;
  std::uint32_t value = 0;
  for (unsigned i = 0; i < bits; ++i, ++bit) {
    value = (value << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1U);
  }
  return value;
}

// Grey or RGB with a sample size libtiff's RGBA reader does not take (such
// as 12 bits), in strips with samples side by side: scaled to 8 bits.
bool readOtherDepth(TIFF* tiff, RasterImage& raster) {
  std::uint16_t bits = 0;
  std::uint16_t samples = 1;
  std::uint16_t photometric = 0;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  std::uint16_t format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
  if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) == 0) return false;
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  const unsigned colours = grey ? 1 : 3;
  if ((!grey && photometric != PHOTOMETRIC_RGB) || samples < colours || bits == 0 || bits > 32 ||
      format != SAMPLEFORMAT_UINT || TIFFIsTiled(tiff) != 0 ||
      (samples > 1 && planar != PLANARCONFIG_CONTIG)) {
    return false;
  }
  const tmsize_t rowBytes = TIFFScanlineSize(tiff);
  const std::uint64_t needed = (static_cast<std::uint64_t>(raster.width) * samples * bits + 7) / 8;
  if (rowBytes <= 0 || static_cast<std::uint64_t>(rowBytes) < needed) return false;

  std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
  const std::uint64_t maximum = (std::uint64_t{1} << bits) - 1;
  for (int y = 0; y < raster.height; ++y) {
    // Rows after a damaged or missing strip stay transparent.
    if (TIFFReadScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return y > 0;
    std::uint8_t* out = raster.rgba.data() + raster.stride() * static_cast<std::size_t>(y);
    for (int x = 0; x < raster.width; ++x, out += 4) {
      const std::size_t first = static_cast<std::size_t>(x) * samples;
      for (unsigned c = 0; c < 3; ++c) {
        const std::uint32_t value = sampleAt(row, first + (grey ? 0 : c), bits);
        auto level =
            static_cast<std::uint8_t>((value * std::uint64_t{255} + maximum / 2) / maximum);
        if (photometric == PHOTOMETRIC_MINISWHITE) level = 255 - level;
        out[c] = level;
      }
      out[3] = 255;
    }
  }
  return true;
}

// Whether the file holds the whole of at least one strip or tile: libtiff
// decodes only those, so with none there is no picture at all.
bool hasWholeStrile(TIFF* tiff, toff_t fileSize) {
  const std::uint32_t count =
      TIFFIsTiled(tiff) != 0 ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t offset = TIFFGetStrileOffset(tiff, i);
    const std::uint64_t size = TIFFGetStrileByteCount(tiff, i);
    if (size > 0 && offset <= fileSize && size <= fileSize - offset) return true;
  }
  return false;
}

bool readFirstPage(TIFF* tiff, toff_t fileSize, DecodedImage& decoded) {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) == 0 ||
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) == 0 || !fitsImageBudget(width, height)) {
    return false;
  }
  // Rows are read as stored; the orientation is applied with the others' later.
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  decoded.orientation = orientation;

  RasterImage& raster = decoded.raster;
  float yResolution = 0;
  std::uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yResolution) != 0 && yResolution > 0 &&
      (unit == RESUNIT_INCH || unit == RESUNIT_CENTIMETER)) {
    raster.pixelsPerInch = unit == RESUNIT_INCH ? yResolution : yResolution * 2.54;
  }
  raster.width = static_cast<int>(width);
  raster.height = static_cast<int>(height);
  raster.rgba.resize(raster.stride() * height);

  char message[1024] = {};
  if (TIFFRGBAImageOK(tiff, message) == 0) return readOtherDepth(tiff, raster);
  if (!hasWholeStrile(tiff, fileSize)) return false;
  TIFFRGBAImage image{};
  // Strips and tiles that fail to decode (a file cut short, damaged data)
  // are left transparent and the others still drawn, as viewers do.
  if (TIFFRGBAImageBegin(&image, tiff, /*stop_on_error=*/0, message) == 0) return false;
  image.orientation = ORIENTATION_TOPLEFT;
  image.req_orientation = ORIENTATION_TOPLEFT;
  // TIFFRGBAImageGet fills 32-bit ABGR words; the buffer has room for them.
  auto* words = reinterpret_cast<std::uint32_t*>(raster.rgba.data());
  const int ok = TIFFRGBAImageGet(&image, words, width, height);
  TIFFRGBAImageEnd(&image);
  if (ok == 0) return false;

  const std::size_t count = static_cast<std::size_t>(width) * height;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t word = 0;
    std::memcpy(&word, &raster.rgba[i * 4], 4);
    const std::uint32_t alpha = TIFFGetA(word);
    raster.rgba[i * 4 + 0] = unpremultiply(TIFFGetR(word), alpha);
    raster.rgba[i * 4 + 1] = unpremultiply(TIFFGetG(word), alpha);
    raster.rgba[i * 4 + 2] = unpremultiply(TIFFGetB(word), alpha);
    raster.rgba[i * 4 + 3] = static_cast<std::uint8_t>(alpha);
  }
  return true;
}

}  // namespace

void initialiseTiff() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

std::optional<DecodedImage> decodeTiff(std::span<const std::uint8_t> bytes) {
  initialiseTiff();
  MemoryFile file{bytes};
  // "m": no memory mapping, the bytes are in memory already.
  TIFF* tiff = TIFFClientOpen("image", "rm", &file, readMemory, writeNothing, seekMemory,
                              closeNothing, sizeOfMemory, nullptr, nullptr);
  if (tiff == nullptr) return std::nullopt;
  DecodedImage decoded;
  bool ok = false;
  try {
    ok = readFirstPage(tiff, bytes.size(), decoded);
  } catch (...) {
    ok = false;
  }
  TIFFClose(tiff);
  if (!ok) return std::nullopt;
  return decoded;
}

}  // namespace sorvi
