#include "platform/image_file_source.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

std::string fixture(const std::string& name) {
  return std::string(SORVI_IMAGE_FIXTURES) + "/" + name;
}

std::shared_ptr<const RasterImage> decode(const std::string& name) {
  FileImageSourceOpener opener;
  const std::unique_ptr<ImageSource> source = opener.open(fixture(name));
  return source ? source->decodeFirstImage() : nullptr;
}

std::optional<ImageProperties> propertiesOf(const std::string& name) {
  FileImageSourceOpener opener;
  const std::unique_ptr<ImageSource> source = opener.open(fixture(name));
  return source ? source->firstImageProperties() : std::nullopt;
}

int luma(int r, int g, int b) { return (299 * r + 587 * g + 114 * b) / 1000; }

// Share of pixels that differ visibly from the reference once both are laid
// on white; `grey` compares brightness only.
double mismatch(const RasterImage& image, const RasterImage& reference, bool grey) {
  if (image.width != reference.width || image.height != reference.height) return 1.0;
  std::size_t differing = 0;
  const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
  for (std::size_t i = 0; i < pixels; ++i) {
    int a[3];
    int b[3];
    for (int c = 0; c < 3; ++c) {
      const int alpha = image.rgba[i * 4 + 3];
      a[c] = (image.rgba[i * 4 + c] * alpha + 255 * (255 - alpha) + 127) / 255;
      b[c] = reference.rgba[i * 4 + c];
    }
    int worst = 0;
    if (grey) {
      worst = std::abs(luma(a[0], a[1], a[2]) - luma(b[0], b[1], b[2]));
    } else {
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(a[c] - b[c]));
    }
    if (worst > 64) ++differing;
  }
  return static_cast<double>(differing) / static_cast<double>(pixels);
}

class ImageFileSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reference_ = decode("reference.png");
    ASSERT_NE(reference_, nullptr);
    ASSERT_EQ(reference_->width, 640);
    ASSERT_EQ(reference_->height, 220);
  }

  void expectShowsReference(const std::string& name, bool grey, double tolerance) {
    const auto image = decode(name);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->rgba.size(), image->stride() * static_cast<std::size_t>(image->height));
    EXPECT_LE(mismatch(*image, *reference_, grey), tolerance) << name;
  }

  std::shared_ptr<const RasterImage> reference_;
};

TEST_F(ImageFileSourceTest, EveryFormatAndVariantDecodesToTheSamePicture) {
  // A text in a wrong place, a mirrored one, or swapped channels each
  // differ in far more than these shares of pixels.
  for (const char* name :
       {"png_rgb8.png",        "png_rgb16.png",      "png_rgba16.png",     "png_palette.png",
        "png_alpha.png",       "png_interlaced.png", "jpeg_rgb.jpg",       "jpeg_progressive.jpg",
        "jpeg_cmyk.jpg",       "tiff_rgb16.tiff",    "tiff_cmyk.tiff",     "tiff_ycbcr_jpeg.tiff",
        "tiff_lab.tiff",       "tiff_tiled.tiff",    "tiff_planar.tiff",   "tiff_alpha.tiff",
        "tiff_multipage.tiff", "webp_lossy.webp",    "webp_lossless.webp", "webp_alpha.webp",
        "webp_animated.webp",  "png_named.jpg"}) {
    expectShowsReference(name, false, 0.005);
  }
  expectShowsReference("heic_plain.heic", false, 0.01);  // lossy, chroma at half size
  for (const char* name : {"png_grey8.png", "png_grey16.png", "png_grey_alpha.png", "jpeg_grey.jpg",
                           "tiff_grey16.tiff", "tiff_grey12.tiff"}) {
    expectShowsReference(name, true, 0.005);
  }
  for (const char* name : {"tiff_g4.tiff", "tiff_g3.tiff"}) expectShowsReference(name, true, 0.02);
}

TEST_F(ImageFileSourceTest, OrientationIsAppliedExceptWhereTheContainerDidIt) {
  for (const char* name : {"orient_1.jpg", "orient_2.jpg", "orient_3.jpg", "orient_4.jpg",
                           "orient_5.jpg", "orient_6.jpg", "orient_7.jpg", "orient_8.jpg",
                           "orient_6.png", "orient_6.webp", "orient_8.tiff"}) {
    expectShowsReference(name, false, 0.005);
  }
  expectShowsReference("heic_exif_orient_6.heic", false, 0.01);
}

TEST_F(ImageFileSourceTest, BrokenOrOversizedFilesDoNotDecode) {
  for (const char* name :
       {"header_only.jpg", "truncated.tiff", "truncated_g4.tiff", "truncated.heic",
        "header_only.png", "empty.png", "text.jpg", "not_heif.heic", "directory.png", "bad_crc.png",
        "huge.png", "huge.jpg", "huge.tiff", "no_such_file.png"}) {
    EXPECT_EQ(decode(name), nullptr) << name;
  }
}

TEST_F(ImageFileSourceTest, PropertiesKeepTheKindsAsStored) {
  for (const char* name :
       {"exif_full.jpg", "exif_full.png", "exif_full.tiff", "exif_full.webp", "exif_full.heic"}) {
    const auto properties = propertiesOf(name);
    ASSERT_TRUE(properties && properties->exif && properties->gps) << name;
    EXPECT_EQ(properties->exif->at(kExifDateTimeOriginal), PropertyValue("2023:06:15 14:34:56"));
    EXPECT_NEAR(std::get<double>(properties->gps->at(kGpsLatitude)), 48.8583701, 1e-7) << name;
    EXPECT_EQ(properties->gps->at(kGpsLatitudeRef), PropertyValue("N")) << name;
    EXPECT_NEAR(std::get<double>(properties->gps->at(kGpsLongitude)), 2.2944813, 1e-7) << name;
    EXPECT_EQ(properties->gps->at(kGpsLongitudeRef), PropertyValue("E")) << name;
  }

  const auto text = propertiesOf("exif_gps_latitude_text.jpg");
  ASSERT_TRUE(text && text->gps);
  EXPECT_EQ(text->gps->at(kGpsLatitude), PropertyValue(OtherKindValue{}));
  EXPECT_NEAR(std::get<double>(text->gps->at(kGpsLongitude)), 2 + 17 / 60.0 + 40.13 / 3600, 1e-12);

  const auto negative = propertiesOf("exif_gps_negative_south.jpg");
  ASSERT_TRUE(negative && negative->gps);
  EXPECT_EQ(negative->gps->at(kGpsLatitude), PropertyValue(-33.5));

  const auto zero = propertiesOf("exif_gps_zero_denominator.jpg");
  ASSERT_TRUE(zero && zero->gps);
  EXPECT_EQ(zero->gps->at(kGpsLatitude), PropertyValue(OtherKindValue{}));

  const auto noRefs = propertiesOf("exif_gps_no_refs.jpg");
  ASSERT_TRUE(noRefs && noRefs->gps);
  EXPECT_EQ(noRefs->gps->count(kGpsLatitudeRef), 0u);

  const auto empty = propertiesOf("exif_date_empty.jpg");
  ASSERT_TRUE(empty && empty->exif);
  EXPECT_EQ(empty->exif->at(kExifDateTimeOriginal), PropertyValue(std::string()));

  const auto plain = propertiesOf("png_rgb8.png");
  ASSERT_TRUE(plain.has_value());
  EXPECT_FALSE(plain->exif.has_value());
  EXPECT_FALSE(plain->gps.has_value());
}

}  // namespace
}  // namespace sorvi
