#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/image_budget.h"
#include "platform/image_decoders.h"

namespace sorvi {
namespace {

struct SilentErrors {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

[[noreturn]] void failDecoding(j_common_ptr info) {
  std::longjmp(reinterpret_cast<SilentErrors*>(info->err)->escape, 1);
}

void dropMessage(j_common_ptr /*info*/) {}

// Warnings that mean pixels are missing or made up (a truncated file, a
// damaged scan) fail the image; harmless ones such as stray bytes between
// markers do not.
void judgeWarning(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace messages
  switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
      failDecoding(info);
    default:
      ++info->err->num_warnings;
  }
}

// Adobe writes CMYK inverted; without its marker the values are plain ink.
void cmykToRgba(std::uint8_t* row, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x) {
    std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
    unsigned c = p[0];
    unsigned m = p[1];
    unsigned y = p[2];
    unsigned k = p[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    p[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
    p[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    p[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
    p[3] = 255;
  }
}

// Everything that must survive a longjmp lives outside the function that
// calls setjmp.
bool decodeInto(jpeg_decompress_struct& info, SilentErrors& errors,
                std::span<const std::uint8_t> bytes, DecodedImage& decoded) {
  if (setjmp(errors.escape) != 0) return false;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  if (!fitsImageBudget(info.image_width, info.image_height)) return false;

  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&info);
  if (info.output_components != 4) return false;

  RasterImage& raster = decoded.raster;
  raster.width = static_cast<int>(info.output_width);
  raster.height = static_cast<int>(info.output_height);
  raster.rgba.resize(raster.stride() * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = raster.rgba.data() + raster.stride() * info.output_scanline;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
    if (cmyk) cmykToRgba(row, info.output_width, info.saw_Adobe_marker != 0);
  }
  jpeg_finish_decompress(&info);

  // JFIF density unit 1 is dots per inch, 2 per centimetre, 0 an aspect ratio only.
  if (info.saw_JFIF_marker != 0 && info.Y_density > 0 &&
      (info.density_unit == 1 || info.density_unit == 2)) {
    raster.pixelsPerInch = info.density_unit == 1 ? info.Y_density : info.Y_density * 2.54;
  }
  return true;
}

}  // namespace

std::optional<DecodedImage> decodeJpeg(std::span<const std::uint8_t> bytes) {
  jpeg_decompress_struct info{};
  SilentErrors errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = failDecoding;
  errors.manager.output_message = dropMessage;
  errors.manager.emit_message = judgeWarning;

  DecodedImage decoded;
  bool ok = false;
  try {
    ok = decodeInto(info, errors, bytes, decoded);
  } catch (...) {
    ok = false;  // out of memory: still free the decoder's own memory
  }
  jpeg_destroy_decompress(&info);
  if (!ok) return std::nullopt;
  return decoded;
}

}  // namespace sorvi
