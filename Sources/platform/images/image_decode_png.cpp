#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "images/image_budget.h"
#include "platform/images/image_decoders.h"

namespace sorvi {
namespace {

struct MemoryReader {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->bytes.size() - reader->position) png_error(png, "truncated");
  std::copy_n(reader->bytes.begin() + static_cast<std::ptrdiff_t>(reader->position), count, out);
  reader->position += count;
}

[[noreturn]] void failDecoding(png_structp png, png_const_charp /*message*/) {
  png_longjmp(png, 1);
}

void dropWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Everything that must survive a longjmp lives outside this function.
// `rows` counts the row calls done, over all passes of an interlaced image.
bool decodeInto(png_structp png, png_infop info, DecodedImage& decoded, std::uint64_t& rows) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!fitsImageBudget(width, height)) return false;

  // Samples are taken as stored, without gamma conversion, as viewers do
  // for files that carry no colour profile.
  png_set_expand(png);  // palette, low-bit grey and tRNS to full samples
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) return false;

  // Rows never reached stay transparent, which shows as the ground behind
  // the picture, as browsers show a PNG cut short.
  RasterImage& raster = decoded.raster;
  raster.width = static_cast<int>(width);
  raster.height = static_cast<int>(height);
  raster.rgba.resize(raster.stride() * height);
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      // As a display row, each pass of an interlaced image fills whole
      // blocks, so a cut after an early pass still shows a coarse picture.
      png_read_row(png, nullptr, raster.rgba.data() + raster.stride() * y);
      ++rows;
    }
  }
  png_read_end(png, nullptr);

  png_uint_32 xDensity = 0;
  png_uint_32 yDensity = 0;
  int unit = PNG_RESOLUTION_UNKNOWN;
  if (png_get_pHYs(png, info, &xDensity, &yDensity, &unit) != 0 && unit == PNG_RESOLUTION_METER &&
      yDensity > 0) {
    raster.pixelsPerInch = yDensity * 0.0254;
  }
  return true;
}

}  // namespace

std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failDecoding, dropWarning);
  if (png == nullptr) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return std::nullopt;
  }
  // No limit of libpng's own should refuse what our budget allows.
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  // A wrong checksum alone does not hide a picture; damaged data still
  // stops decoding where zlib finds it.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  // Image data is read in small blocks, so a file cut short loses at most
  // one block's rows before the cut (a block is read whole or not at all).
  png_set_compression_buffer_size(png, 512);
  MemoryReader reader{bytes};
  png_set_read_fn(png, &reader, readFromMemory);

  DecodedImage decoded;
  std::uint64_t rows = 0;
  bool ok = false;
  try {
    ok = decodeInto(png, info, decoded, rows);
  } catch (...) {
    ok = false;
    rows = 0;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  // An error after some rows, truncation or damage, keeps what was read.
  if (!ok && rows == 0) return std::nullopt;
  return decoded;
}

}  // namespace sorvi
