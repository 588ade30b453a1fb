#include "platform/opencv/depthwise_5x5_layer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/dnn.hpp>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SORVI_DEPTHWISE_AVX2 1
#endif

namespace sorvi {
namespace {

constexpr int kSize = 5;
constexpr int kPad = 2;

// The input rows an output row reads, null where the row lies in the
// padding.
using SourceRows = std::array<const float*, kSize>;

// The output at column `ox`, the taps in the padding left out.
float outputAt(const SourceRows& rows, int width, const float* weights, float bias, int ox) {
  float sum = bias;
  for (int ky = 0; ky < kSize; ++ky) {
    if (rows[ky] == nullptr) continue;
    for (int kx = std::max(0, kPad - ox); kx < std::min(kSize, width + kPad - ox); ++kx) {
      sum += weights[ky * kSize + kx] * rows[ky][ox - kPad + kx];
    }
  }
  return sum;
}

#ifdef SORVI_DEPTHWISE_AVX2
// Writes the outputs from column `ox` up to `end`, all of whose taps lie
// inside the rows, 64 and then 8 at a time; gives where it stopped. Eight
// sums in flight hide the latency of the multiply-adds.
__attribute__((target("avx2,fma"))) int interiorAvx2(const SourceRows& rows, const float* weights,
                                                     float bias, float* out, int ox, int end) {
  constexpr int kLanes = 8;
  constexpr int kBlock = 8;
  for (; ox + kBlock * kLanes <= end; ox += kBlock * kLanes) {
    __m256 sums[kBlock];
    for (__m256& sum : sums) sum = _mm256_set1_ps(bias);
    for (int ky = 0; ky < kSize; ++ky) {
      if (rows[ky] == nullptr) continue;
      for (int kx = 0; kx < kSize; ++kx) {
        const __m256 weight = _mm256_set1_ps(weights[ky * kSize + kx]);
        const float* source = rows[ky] + (ox - kPad + kx);
        for (int v = 0; v < kBlock; ++v) {
          sums[v] = _mm256_fmadd_ps(
              weight, _mm256_loadu_ps(source + static_cast<std::ptrdiff_t>(v) * kLanes), sums[v]);
        }
      }
    }
    for (int v = 0; v < kBlock; ++v)
      _mm256_storeu_ps(out + ox + static_cast<std::ptrdiff_t>(v) * kLanes, sums[v]);
  }
  for (; ox + kLanes <= end; ox += kLanes) {
    __m256 sum = _mm256_set1_ps(bias);
    for (int ky = 0; ky < kSize; ++ky) {
      if (rows[ky] == nullptr) continue;
      for (int kx = 0; kx < kSize; ++kx) {
        sum = _mm256_fmadd_ps(_mm256_set1_ps(weights[ky * kSize + kx]),
                              _mm256_loadu_ps(rows[ky] + (ox - kPad + kx)), sum);
      }
    }
    _mm256_storeu_ps(out + ox, sum);
  }
  return ox;
}

bool hasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}
#endif

#if CV_SIMD128
// As interiorAvx2, four at a time: what AVX2 left, or all on processors
// without it.
int interiorSimd128(const SourceRows& rows, const float* weights, float bias, float* out, int ox,
                    int end) {
  for (; ox + 4 <= end; ox += 4) {
    cv::v_float32x4 sum = cv::v_setall_f32(bias);
    for (int ky = 0; ky < kSize; ++ky) {
      if (rows[ky] == nullptr) continue;
      for (int kx = 0; kx < kSize; ++kx) {
        sum = sum +
              cv::v_setall_f32(weights[ky * kSize + kx]) * cv::v_load(rows[ky] + (ox - kPad + kx));
      }
    }
    cv::v_store(out + ox, sum);
  }
  return ox;
}
#endif

// One channel: `in` of height x width, `out` of outHeight x width.
void convolveChannel(const float* in, int height, int width, const float* weights, float bias,
                     int strideY, float* out, int outHeight) {
  for (int oy = 0; oy < outHeight; ++oy) {
    SourceRows rows{};
    for (int ky = 0; ky < kSize; ++ky) {
      const int y = oy * strideY - kPad + ky;
      if (y >= 0 && y < height) rows[ky] = in + static_cast<std::ptrdiff_t>(y) * width;
    }
    float* row = out + static_cast<std::ptrdiff_t>(oy) * width;
    int ox = 0;
    for (; ox < std::min(kPad, width); ++ox) row[ox] = outputAt(rows, width, weights, bias, ox);
#ifdef SORVI_DEPTHWISE_AVX2
    if (hasAvx2()) ox = interiorAvx2(rows, weights, bias, row, ox, width - kPad);
#endif
#if CV_SIMD128
    ox = interiorSimd128(rows, weights, bias, row, ox, width - kPad);
#endif
    for (; ox < width; ++ox) row[ox] = outputAt(rows, width, weights, bias, ox);
  }
}

// OpenCV 4.6 has a fast path for 3x3 depthwise convolutions only: a 5x5 one
// took fourteen times as long as a 3x3 one, and split into four 3x3 ones it
// still paid for four paddings and three sums.
class Depthwise5x5Layer final : public cv::dnn::Layer {
 public:
  explicit Depthwise5x5Layer(const cv::dnn::LayerParams& params) {
    setParamsFrom(params);
    // The importer renames ONNX's "strides" to "stride".
    const cv::dnn::DictValue strides = params.has("stride")    ? params.get("stride")
                                       : params.has("strides") ? params.get("strides")
                                                               : cv::dnn::DictValue(1);
    strideY_ = strides.getIntValue(0);
    CV_Assert(strideY_ >= 1 && (strides.size() < 2 || strides.getIntValue(1) == 1));
    CV_Assert(blobs.size() == 2 && blobs[0].type() == CV_32F && blobs[1].type() == CV_32F);
    CV_Assert(blobs[0].total() == blobs[1].total() * kSize * kSize);
  }

  bool getMemoryShapes(const std::vector<cv::dnn::MatShape>& inputs, int /*requiredOutputs*/,
                       std::vector<cv::dnn::MatShape>& outputs,
                       std::vector<cv::dnn::MatShape>& /*internals*/) const override {
    CV_Assert(inputs.size() == 1 && inputs[0].size() == 4 &&
              static_cast<std::size_t>(inputs[0][1]) == blobs[1].total());
    cv::dnn::MatShape shape = inputs[0];
    shape[2] = (shape[2] - 1) / strideY_ + 1;
    outputs.assign(1, shape);
    return false;
  }

  void forward(cv::InputArrayOfArrays inputBlobs, cv::OutputArrayOfArrays outputBlobs,
               cv::OutputArrayOfArrays /*internals*/) override {
    std::vector<cv::Mat> inputs;
    std::vector<cv::Mat> outputs;
    inputBlobs.getMatVector(inputs);
    outputBlobs.getMatVector(outputs);
    CV_Assert(inputs.size() == 1 && outputs.size() == 1 && inputs[0].type() == CV_32F &&
              inputs[0].isContinuous() && outputs[0].isContinuous());
    const cv::Mat& in = inputs[0];
    const int channels = in.size[1];
    const int height = in.size[2];
    const int width = in.size[3];
    const int outHeight = outputs[0].size[2];
    const std::ptrdiff_t plane = static_cast<std::ptrdiff_t>(height) * width;
    const std::ptrdiff_t outPlane = static_cast<std::ptrdiff_t>(outHeight) * width;
    for (int n = 0; n < in.size[0]; ++n) {
      for (int c = 0; c < channels; ++c) {
        const std::ptrdiff_t index = static_cast<std::ptrdiff_t>(n) * channels + c;
        convolveChannel(in.ptr<float>() + index * plane, height, width,
                        blobs[0].ptr<float>() + static_cast<std::ptrdiff_t>(c) * kSize * kSize,
                        blobs[1].ptr<float>()[c], strideY_,
                        outputs[0].ptr<float>() + index * outPlane, outHeight);
      }
    }
  }

 private:
  int strideY_ = 1;
};

}  // namespace

cv::Ptr<cv::dnn::Layer> makeDepthwise5x5Layer(cv::dnn::LayerParams& params) {
  return cv::makePtr<Depthwise5x5Layer>(params);
}

}  // namespace sorvi
