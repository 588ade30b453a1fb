#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "images/image_budget.h"
#include "platform/images/image_decoders.h"

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

// Damaged or truncated data only warns: libjpeg carries on, filling what is
// missing with grey, and the picture is shown as viewers show it.
void countWarning(j_common_ptr info, int level) {
  if (level < 0) ++info->err->num_warnings;
}

// Whether any entropy-coded byte follows the first scan header: a file cut
// off right after its headers has no picture to show, only grey.
bool hasScanData(const jpeg_decompress_struct& info) {
  const jpeg_source_mgr& source = *info.src;
  return source.bytes_in_buffer > 0 &&
         !(source.bytes_in_buffer >= 2 && source.next_input_byte[0] == 0xFF &&
           source.next_input_byte[1] == JPEG_EOI);
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
// calls setjmp. `rows` counts the rows already in the raster.
bool decodeInto(jpeg_decompress_struct& info, SilentErrors& errors,
                std::span<const std::uint8_t> bytes, DecodedImage& decoded, JDIMENSION& rows) {
  if (setjmp(errors.escape) != 0) return false;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  if (!fitsImageBudget(info.image_width, info.image_height) || !hasScanData(info)) return false;

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
    rows = info.output_scanline;
  }
  jpeg_finish_decompress(&info);

  // JFIF density unit 1 is dots per inch, 2 per centimetre, 0 an aspect ratio only.
  if (info.saw_JFIF_marker != 0 && info.Y_density > 0 &&
      (info.density_unit == 1 || info.density_unit == 2)) {
    raster.pixelsPerInch = info.density_unit == 1 ? info.Y_density : info.Y_density * 2.54;
  }
  return true;
}

// Rows a fatal error kept libjpeg from giving are shown grey, as libjpeg
// itself shows data that is missing.
void fillRowsFrom(JDIMENSION rows, RasterImage& raster) {
  for (std::size_t i = raster.stride() * rows; i < raster.rgba.size(); i += 4) {
    raster.rgba[i] = raster.rgba[i + 1] = raster.rgba[i + 2] = 128;
    raster.rgba[i + 3] = 255;
  }
}

}  // namespace

std::optional<DecodedImage> decodeJpeg(std::span<const std::uint8_t> bytes) {
  jpeg_decompress_struct info{};
  SilentErrors errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = failDecoding;
  errors.manager.output_message = dropMessage;
  errors.manager.emit_message = countWarning;

  DecodedImage decoded;
  JDIMENSION rows = 0;
  bool ok = false;
  try {
    ok = decodeInto(info, errors, bytes, decoded, rows);
  } catch (...) {
    ok = false;  // out of memory: still free the decoder's own memory
    rows = 0;
  }
  jpeg_destroy_decompress(&info);
  // A fatal error after some rows (including one while finishing) still
  // leaves those rows to show.
  if (!ok && rows == 0) return std::nullopt;
  if (!ok) fillRowsFrom(rows, decoded.raster);
  return decoded;
}

}  // namespace sorvi
