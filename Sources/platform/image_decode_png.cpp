#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "platform/image_budget.h"
#include "platform/image_decoders.h"

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
bool decodeInto(png_structp png, png_infop info, std::vector<png_bytep>& rows,
                DecodedImage& decoded) {
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
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) return false;

  RasterImage& raster = decoded.raster;
  raster.width = static_cast<int>(width);
  raster.height = static_cast<int>(height);
  raster.rgba.resize(raster.stride() * height);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = raster.rgba.data() + raster.stride() * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);  // checks the checksums up to the end of the image data

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
  MemoryReader reader{bytes};
  png_set_read_fn(png, &reader, readFromMemory);

  DecodedImage decoded;
  std::vector<png_bytep> rows;
  bool ok = false;
  try {
    ok = decodeInto(png, info, rows, decoded);
  } catch (...) {
    ok = false;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return std::nullopt;
  return decoded;
}

}  // namespace sorvi
