#include "platform/images/image_file_source.h"

#include <cstdlib>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

std::shared_ptr<const RasterImage> decode(const std::string& name) {
  return decodeImageFile(std::string(SORVI_IMAGE_FIXTURES) + "/" + name);
}

// Share of pixels that differ visibly from the reference once laid on white;
// `grey` compares brightness only. Text in a wrong place, a mirrored one or
// swapped channels differ in far more than the tolerances below.
double mismatch(const RasterImage& image, const RasterImage& reference, bool grey) {
  if (image.width != reference.width || image.height != reference.height ||
      image.rgba.size() != reference.rgba.size()) {
    return 1.0;
  }
  const auto luma = [](const int* c) { return (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000; };
  size_t differing = 0;
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    int a[3], b[3], worst = 0;
    for (int c = 0; c < 3; ++c) {
      const int alpha = image.rgba[i + 3];
      a[c] = (image.rgba[i + c] * alpha + 255 * (255 - alpha) + 127) / 255;
      b[c] = reference.rgba[i + c];
      worst = std::max(worst, std::abs(a[c] - b[c]));
    }
    if ((grey ? std::abs(luma(a) - luma(b)) : worst) > 64) ++differing;
  }
  return static_cast<double>(differing) * 4 / static_cast<double>(image.rgba.size());
}

TEST(ImageFileSource, EveryFormatVariantAndOrientationShowsTheSamePicture) {
  const auto reference = decode("reference.png");
  ASSERT_TRUE(reference && reference->width == 640 && reference->height == 220);
  const struct {
    std::vector<const char*> names;
    bool grey;
    double tolerance;
  } groups[] = {
      {{"png_rgb8.png",        "png_rgb16.png",      "png_rgba16.png",     "png_palette.png",
        "png_alpha.png",       "png_interlaced.png", "jpeg_rgb.jpg",       "jpeg_progressive.jpg",
        "jpeg_cmyk.jpg",       "tiff_rgb16.tiff",    "tiff_cmyk.tiff",     "tiff_ycbcr_jpeg.tiff",
        "tiff_lab.tiff",       "tiff_tiled.tiff",    "tiff_planar.tiff",   "tiff_alpha.tiff",
        "tiff_multipage.tiff", "webp_lossy.webp",    "webp_lossless.webp", "webp_alpha.webp",
        "webp_animated.webp",  "png_named.jpg",      "orient_1.jpg",       "orient_2.jpg",
        "orient_3.jpg",        "orient_4.jpg",       "orient_5.jpg",       "orient_6.jpg",
        "orient_7.jpg",        "orient_8.jpg",       "orient_9.jpg",       "orient_6.png",
        "orient_6.webp",       "orient_8.tiff"},
       false,
       0.005},
      // Lossy with chroma at half size; HEIF turns images with its own boxes,
      // so a stray Exif orientation must not turn it again.
      {{"heic_plain.heic", "heic_exif_orient_6.heic"}, false, 0.01},
      {{"png_grey8.png", "png_grey16.png", "png_grey_alpha.png", "jpeg_grey.jpg",
        "tiff_grey16.tiff", "tiff_grey12.tiff"},
       true,
       0.005},
      {{"tiff_g4.tiff", "tiff_g3.tiff"}, true, 0.02},
  };
  for (const auto& group : groups) {
    for (const char* name : group.names) {
      const auto image = decode(name);
      ASSERT_TRUE(image) << name;
      EXPECT_LE(mismatch(*image, *reference, group.grey), group.tolerance) << name;
    }
  }
}

}  // namespace
}  // namespace sorvi
