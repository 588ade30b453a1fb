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
  image->rgba.reserve(image->stride() * static_cast<std::size_t>(image->height));
  const l_uint32* row = pixGetData(pix.get());
  const l_int32 wordsPerLine = pixGetWpl(pix.get());
  for (int y = 0; y < image->height; ++y, row += wordsPerLine) {
    for (int x = 0; x < image->width; ++x) {
      l_int32 r = 0;
      l_int32 g = 0;
      l_int32 b = 0;
      l_int32 a = 0;
      extractRGBAValues(row[x], &r, &g, &b, &a);
      image->rgba.insert(
          image->rgba.end(),
          {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b),
           static_cast<std::uint8_t>(hasAlpha ? a : 255)});
    }
  }
  return image;
}

}  // namespace sorvi
