#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "images/image_budget.h"
#include "platform/images/image_decoders.h"

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

std::optional<DecodedImage> decodePartialFirstFrame(std::span<const std::uint8_t> bytes);

// The first frame of an animation, composed onto its canvas.
std::optional<DecodedImage> decodeFirstFrame(std::span<const std::uint8_t> bytes) {
  WebPAnimDecoderOptions options;
  if (WebPAnimDecoderOptionsInit(&options) == 0) return std::nullopt;
  options.color_mode = MODE_RGBA;  // straight alpha
  options.use_threads = 0;
  const WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (decoder == nullptr) return decodePartialFirstFrame(bytes);

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

std::uint32_t littleEndian(const std::uint8_t* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// The first frame of an animation cut short, as far as the file holds it,
// placed on the transparent canvas. libwebp's demuxer hides a frame until
// all of it is there, so the container is walked here.
std::optional<DecodedImage> decodePartialFirstFrame(std::span<const std::uint8_t> bytes) {
  // RIFF header, a VP8X chunk with the canvas size, more chunks, the first ANMF.
  if (bytes.size() < 30 || std::memcmp(bytes.data() + 12, "VP8X", 4) != 0) return std::nullopt;
  const std::uint32_t width = littleEndian(&bytes[24], 3) + 1;
  const std::uint32_t height = littleEndian(&bytes[27], 3) + 1;
  if (!fitsImageBudget(width, height)) return std::nullopt;
  std::size_t at = 12;
  while (at + 8 <= bytes.size() && std::memcmp(&bytes[at], "ANMF", 4) != 0) {
    const std::uint32_t size = littleEndian(&bytes[at + 4], 4);
    at += 8 + static_cast<std::size_t>(size) + (size & 1);
  }
  // The frame header: offset / 2, size - 1, duration, flags; then its data.
  if (at + 24 > bytes.size()) return std::nullopt;
  const std::uint8_t* header = &bytes[at + 8];
  const std::uint32_t left = littleEndian(header, 3) * 2;
  const std::uint32_t top = littleEndian(header + 3, 3) * 2;
  const std::uint32_t frameWidth = littleEndian(header + 6, 3) + 1;
  const std::uint32_t frameHeight = littleEndian(header + 9, 3) + 1;
  if (left + frameWidth > width || top + frameHeight > height) return std::nullopt;
  const std::size_t declared = littleEndian(&bytes[at + 4], 4);
  const std::size_t size = std::min(declared < 16 ? 0 : declared - 16, bytes.size() - at - 24);
  const std::optional<DecodedImage> frame = decodeStill(
      bytes.subspan(at + 24, size), static_cast<int>(frameWidth), static_cast<int>(frameHeight));
  if (!frame) return std::nullopt;

  DecodedImage decoded;
  RasterImage& canvas = decoded.raster;
  canvas.width = static_cast<int>(width);
  canvas.height = static_cast<int>(height);
  canvas.rgba.resize(canvas.stride() * height);
  for (std::uint32_t y = 0; y < frameHeight; ++y) {
    std::memcpy(canvas.rgba.data() + canvas.stride() * (top + y) + std::size_t{left} * 4,
                frame->raster.rgba.data() + frame->raster.stride() * y, frame->raster.stride());
  }
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
