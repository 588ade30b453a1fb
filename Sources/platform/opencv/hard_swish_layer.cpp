#include "platform/opencv/hard_swish_layer.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/dnn.hpp>

namespace sorvi {
namespace {

// The activation on `count` values; `output` may be `input`.
void hardSwishTimesSix(const float* input, float* output, std::size_t count) {
  std::size_t i = 0;
#if CV_SIMD128
  const cv::v_float32x4 three = cv::v_setall_f32(3.0F);
  const cv::v_float32x4 zero = cv::v_setzero_f32();
  const cv::v_float32x4 six = cv::v_setall_f32(6.0F);
  for (; i + 4 <= count; i += 4) {
    const cv::v_float32x4 x = cv::v_load(input + i);
    cv::v_store(output + i, x * cv::v_min(cv::v_max(x + three, zero), six));
  }
#endif
  for (; i < count; ++i) {
    output[i] = input[i] * std::min(std::max(input[i] + 3.0F, 0.0F), 6.0F);
  }
}

// One pass over the tensor where Add, Clip and Mul layers took three. It is
// not an activation OpenCV could fuse into the convolution ahead of it: 4.6
// then leaves its fast depthwise and pointwise paths, which costs more than
// the pass.
class HardSwishTimesSixLayer final : public cv::dnn::Layer {
 public:
  explicit HardSwishTimesSixLayer(const cv::dnn::LayerParams& params) { setParamsFrom(params); }

  // The output may take the input's place.
  bool getMemoryShapes(const std::vector<cv::dnn::MatShape>& inputs, int /*requiredOutputs*/,
                       std::vector<cv::dnn::MatShape>& outputs,
                       std::vector<cv::dnn::MatShape>& /*internals*/) const override {
    outputs = inputs;
    return true;
  }

  void forward(cv::InputArrayOfArrays inputBlobs, cv::OutputArrayOfArrays outputBlobs,
               cv::OutputArrayOfArrays /*internals*/) override {
    std::vector<cv::Mat> inputs;
    std::vector<cv::Mat> outputs;
    inputBlobs.getMatVector(inputs);
    outputBlobs.getMatVector(outputs);
    CV_Assert(inputs.size() == outputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      CV_Assert(inputs[i].type() == CV_32F && outputs[i].type() == CV_32F &&
                inputs[i].total() == outputs[i].total() && inputs[i].isContinuous() &&
                outputs[i].isContinuous());
      hardSwishTimesSix(inputs[i].ptr<float>(), outputs[i].ptr<float>(), inputs[i].total());
    }
  }
};

}  // namespace

cv::Ptr<cv::dnn::Layer> makeHardSwishLayer(cv::dnn::LayerParams& params) {
  return cv::makePtr<HardSwishTimesSixLayer>(params);
}

}  // namespace sorvi
