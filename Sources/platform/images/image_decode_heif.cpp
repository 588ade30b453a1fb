#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "images/image_budget.h"
#include "platform/images/image_decoders.h"

namespace sorvi {
namespace {

struct ContextFree {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

// The Exif block of the image starts with a 4-byte big-endian offset from
// its end to the TIFF header.
std::vector<std::uint8_t> exifTiffOf(heif_image_handle* handle) {
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
  const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
  if (size < 4) return {};
  std::vector<std::uint8_t> block(size);
  if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) return {};
  const std::uint32_t offset = (std::uint32_t{block[0]} << 24) | (std::uint32_t{block[1]} << 16) |
                               (std::uint32_t{block[2]} << 8) | std::uint32_t{block[3]};
  if (offset > size - 4) return {};
  return {block.begin() + 4 + offset, block.end()};
}

std::optional<DecodedImage> decodePrimary(heif_image_handle* handle) {
  const int width = heif_image_handle_get_width(handle);
  const int height = heif_image_handle_get_height(handle);
  if (width <= 0 || height <= 0 ||
      !fitsImageBudget(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))) {
    return std::nullopt;
  }
  const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
  if (!options) return std::nullopt;
  options->convert_hdr_to_8bit = 1;  // rotation and mirroring stay on (the default)
  heif_image* decodedImage = nullptr;
  const heif_error error = heif_decode_image(handle, &decodedImage, heif_colorspace_RGB,
                                             heif_chroma_interleaved_RGBA, options.get());
  const std::unique_ptr<heif_image, ImageRelease> image(decodedImage);
  if (error.code != heif_error_Ok || !image) return std::nullopt;

  const int shownWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int shownHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (plane == nullptr || shownWidth <= 0 || shownHeight <= 0 ||
      heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8 ||
      !fitsImageBudget(static_cast<std::uint64_t>(shownWidth),
                       static_cast<std::uint64_t>(shownHeight))) {
    return std::nullopt;
  }
  DecodedImage decoded;
  decoded.orientation = 1;
  RasterImage& raster = decoded.raster;
  raster.width = shownWidth;
  raster.height = shownHeight;
  raster.rgba.resize(raster.stride() * static_cast<std::size_t>(shownHeight));
  for (int y = 0; y < shownHeight; ++y) {
    std::memcpy(raster.rgba.data() + raster.stride() * static_cast<std::size_t>(y),
                plane + static_cast<std::ptrdiff_t>(stride) * y, raster.stride());
  }
  return decoded;
}

using HandlePtr = std::unique_ptr<heif_image_handle, HandleRelease>;

// The longest side of any image in the file, tiles included.
constexpr int kMaxHeifItemSide = 16384;

// Calls `use` with the primary image's handle, or returns `fallback`.
template <typename Result, typename Use>
Result withPrimaryImage(std::span<const std::uint8_t> bytes, Result fallback, Use use) {
  initialiseHeif();
  const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  if (!context) return fallback;
  // The primary image's size is checked before decoding, not its tiles':
  // a one-kilobyte grid whose tile claims a side in the tens of thousands
  // made the decoder allocate 1.6 GB. No camera's tile comes near this side.
  heif_context_set_maximum_image_size_limit(context.get(), kMaxHeifItemSide);
  if (heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr)
          .code != heif_error_Ok) {
    return fallback;
  }
  heif_image_handle* primary = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok) {
    return fallback;
  }
  const HandlePtr handle(primary);
  return use(handle.get());
}

}  // namespace

void initialiseHeif() {
  static std::once_flag once;
  std::call_once(once, [] { heif_init(nullptr); });
}

std::optional<DecodedImage> decodeHeif(std::span<const std::uint8_t> bytes) {
  return withPrimaryImage<std::optional<DecodedImage>>(bytes, std::nullopt, decodePrimary);
}

std::vector<std::uint8_t> readHeifExifTiff(std::span<const std::uint8_t> bytes) {
  return withPrimaryImage<std::vector<std::uint8_t>>(bytes, {}, exifTiffOf);
}

}  // namespace sorvi
