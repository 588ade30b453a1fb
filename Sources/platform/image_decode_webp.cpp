#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "platform/image_budget.h"
#include "platform/image_decoders.h"

namespace sorvi {
namespace {

struct DecoderDelete {
  void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};

// Decoded incrementally, so a file cut short still gives the rows before
// the cut; the rest stays transparent, as browsers show it.
std::optional<DecodedImage> decodeStill(std::span<const std::uint8_t> bytes, int width,
                                        int height) {
  DecodedImage decoded;
  RasterImage& raster = decoded.raster;
  raster.width = width;
  raster.height = height;
  raster.rgba.resize(raster.stride() * static_cast<std::size_t>(height));
  const std::unique_ptr<WebPIDecoder, DecoderDelete> decoder(WebPINewRGB(
      MODE_RGBA, raster.rgba.data(), raster.rgba.size(), static_cast<int>(raster.stride())));
  if (!decoder) return std::nullopt;
  // Damaged data ends decoding where it is found; the rows before it stay.
  WebPIUpdate(decoder.get(), bytes.data(), bytes.size());
  int rows = 0;
  if (WebPIDecGetRGB(decoder.get(), &rows, nullptr, nullptr, nullptr) == nullptr || rows <= 0) {
    return std::nullopt;
  }
  return decoded;
}

// The first frame of an animation, composed onto its canvas.
std::optional<DecodedImage> decodeFirstFrame(std::span<const std::uint8_t> bytes) {
  WebPAnimDecoderOptions options;
  if (WebPAnimDecoderOptionsInit(&options) == 0) return std::nullopt;
  options.color_mode = MODE_RGBA;  // straight alpha
  options.use_threads = 0;
  const WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (decoder == nullptr) return std::nullopt;

  std::optional<DecodedImage> decoded;
  WebPAnimInfo info;
  std::uint8_t* frame = nullptr;
  int timestamp = 0;
  if (WebPAnimDecoderGetInfo(decoder, &info) != 0 &&
      fitsImageBudget(info.canvas_width, info.canvas_height) &&
      WebPAnimDecoderGetNext(decoder, &frame, &timestamp) != 0) {
    decoded.emplace();
    RasterImage& raster = decoded->raster;
    raster.width = static_cast<int>(info.canvas_width);
    raster.height = static_cast<int>(info.canvas_height);
    raster.rgba.assign(frame, frame + raster.stride() * info.canvas_height);
  }
  WebPAnimDecoderDelete(decoder);
  return decoded;
}

}  // namespace

std::optional<DecodedImage> decodeWebp(std::span<const std::uint8_t> bytes) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK) return std::nullopt;
  if (!fitsImageBudget(static_cast<std::uint64_t>(features.width),
                       static_cast<std::uint64_t>(features.height))) {
    return std::nullopt;
  }
  if (features.has_animation != 0) return decodeFirstFrame(bytes);
  return decodeStill(bytes, features.width, features.height);
}

}  // namespace sorvi
