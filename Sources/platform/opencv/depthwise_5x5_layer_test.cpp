#include "platform/opencv/depthwise_5x5_layer.h"

#include <string>
#include <tuple>

#include <gtest/gtest.h>
#include <opencv2/dnn.hpp>

#include "platform/opencv/opencv_setup.h"

namespace sorvi {
namespace {

cv::Mat runLayer(const std::string& type, cv::dnn::LayerParams params, const cv::Mat& input) {
  cv::dnn::Net net;
  net.addLayerToPrev("layer", type, params);
  net.setInput(input);
  return net.forward().clone();
}

// Against OpenCV's own convolution: planes narrower and shorter than the
// kernel, a row whose interior takes every block size, and rows stepped two
// at a time.
TEST(Depthwise5x5Layer, ConvolvesAsOpenCvDoes) {
  setUpOpenCv();
  const std::tuple<int, int, int> shapes[] = {{1, 1, 1}, {3, 80, 1}, {6, 13, 2}, {7, 3, 2}};
  for (const auto& [height, width, strideY] : shapes) {
    const int channels = 3;
    cv::Mat input(std::vector<int>{2, channels, height, width}, CV_32F);
    cv::Mat weights(std::vector<int>{channels, 1, 5, 5}, CV_32F);
    cv::Mat bias(1, channels, CV_32F);
    cv::randu(input, -1, 1);
    cv::randu(weights, -1, 1);
    cv::randu(bias, -1, 1);
    cv::dnn::LayerParams ours;
    ours.blobs = {weights, bias};
    const int strides[] = {strideY, 1};
    ours.set("stride", cv::dnn::DictValue::arrayInt(strides, 2));
    cv::dnn::LayerParams theirs;
    theirs.blobs = {weights, bias};
    theirs.set("kernel_size", 5);
    theirs.set("pad", 2);
    theirs.set("stride_h", strideY);
    theirs.set("stride_w", 1);
    theirs.set("group", channels);
    theirs.set("num_output", channels);
    theirs.set("bias_term", true);
    EXPECT_LT(cv::norm(runLayer(kDepthwise5x5Layer, ours, input),
                       runLayer("Convolution", theirs, input), cv::NORM_INF),
              1e-5)
        << height << "x" << width << " stride " << strideY;
  }
}

}  // namespace
}  // namespace sorvi
