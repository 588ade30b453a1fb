// Image files through the worker's calls (open, decode upright, metadata). See README.md.
#pragma once

#include <regex>

#include "fuzz_check.h"
#include "images/image_budget.h"
#include "metadata/extract_exif.h"
#include "output/json_encoder.h"
#include "platform/images/image_file_source.h"
#include "platform/images/image_format.h"

namespace sorvi::fuzz {

inline void checkMetadata(ImageSource& source) {
  const std::optional<ExifData> exif = extractExif(source.firstImageProperties());
  if (!exif) return;
  check(exif->date_taken || exif->gps, "empty metadata record");
  static const std::regex kPosition(R"(-?[0-9]+\.[0-9]{6},-?[0-9]+\.[0-9]{6})");
  check(!exif->gps || std::regex_match(*exif->gps, kPosition), "position", exif->gps.value_or(""));
  check(JsonEncoder{}.encode({"fuzz.jpg", {}, {}, exif, {}}).has_value(), "refused by the writer");
}

// The decoders size the stored raster exactly, so ASan sees any read of the
// orientation's outside it.
template <ImageFormat kFormat>
void checkImage(const std::uint8_t* data, std::size_t size) {
  if (detectImageFormat({data, size}) != kFormat) return;  // another target's
  initialiseImageLibraries();
  const auto source = FileImageSourceOpener().open(inputFile(data, size));
  check(source != nullptr, "a file in a known format did not open");
  const std::shared_ptr<const RasterImage> image = source->decodeFirstImage();
  checkMetadata(*source);
  check(!image || (fitsImageBudget(image->width, image->height) &&
                   image->rgba.size() == image->stride() * image->height),
        "image outside the budget or its buffer");
}

}  // namespace sorvi::fuzz

#define SORVI_IMAGE_FUZZ(body)                                                        \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    body;                                                                             \
    return 0;                                                                         \
  }
