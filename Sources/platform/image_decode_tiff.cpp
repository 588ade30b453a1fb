#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/image_budget.h"
#include "platform/image_decoders.h"

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

bool readFirstPage(TIFF* tiff, DecodedImage& decoded) {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) == 0 ||
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) == 0 || !fitsImageBudget(width, height)) {
    return false;
  }
  char message[1024] = {};
  if (TIFFRGBAImageOK(tiff, message) == 0) return false;
  TIFFRGBAImage image{};
  if (TIFFRGBAImageBegin(&image, tiff, /*stop_on_error=*/1, message) == 0) return false;
  // Rows come as stored; the orientation is applied with the others' later.
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  image.orientation = ORIENTATION_TOPLEFT;
  image.req_orientation = ORIENTATION_TOPLEFT;

  RasterImage& raster = decoded.raster;
  raster.width = static_cast<int>(width);
  raster.height = static_cast<int>(height);
  raster.rgba.resize(raster.stride() * height);
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
  decoded.orientation = orientation;
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
    ok = readFirstPage(tiff, decoded);
  } catch (...) {
    ok = false;
  }
  TIFFClose(tiff);
  if (!ok) return std::nullopt;
  return decoded;
}

}  // namespace sorvi
