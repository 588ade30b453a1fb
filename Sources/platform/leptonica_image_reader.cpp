#include "platform/leptonica_image_reader.h"

#include <leptonica/allheaders.h>

namespace sorvi {
namespace {

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

}  // namespace

std::shared_ptr<const RasterImage> readImageWithLeptonica(const std::string& path) {
  setMsgSeverity(L_SEVERITY_NONE);
  const PixPtr decoded(pixRead(path.c_str()));
  if (!decoded) {
    return nullptr;
  }
  const bool hasAlpha = pixGetDepth(decoded.get()) == 32 && pixGetSpp(decoded.get()) == 4;
  const PixPtr pix(pixConvertTo32(decoded.get()));
  if (!pix) {
    return nullptr;
  }

  auto image = std::make_shared<RasterImage>();
  image->width = static_cast<int>(pixGetWidth(pix.get()));
  image->height = static_cast<int>(pixGetHeight(pix.get()));
  image->rgba.resize(image->stride() * static_cast<std::size_t>(image->height));
  std::uint8_t* out = image->rgba.data();
  const l_uint32* row = pixGetData(pix.get());
  const l_int32 wordsPerLine = pixGetWpl(pix.get());
  for (int y = 0; y < image->height; ++y, row += wordsPerLine) {
    for (int x = 0; x < image->width; ++x, out += 4) {
      // Leptonica keeps a pixel in one word as 0xRRGGBBAA.
      const l_uint32 word = row[x];
      out[0] = static_cast<std::uint8_t>(word >> L_RED_SHIFT);
      out[1] = static_cast<std::uint8_t>(word >> L_GREEN_SHIFT);
      out[2] = static_cast<std::uint8_t>(word >> L_BLUE_SHIFT);
      out[3] = hasAlpha ? static_cast<std::uint8_t>(word >> L_ALPHA_SHIFT) : 255;
    }
  }
  return image;
}

}  // namespace sorvi
