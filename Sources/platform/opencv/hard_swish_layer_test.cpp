#include "platform/opencv/hard_swish_layer.h"

#include <algorithm>

#include <gtest/gtest.h>
#include <opencv2/dnn.hpp>

#include "platform/opencv/opencv_setup.h"

namespace sorvi {
namespace {

// Through a network, as the models run it: values either side of both bends,
// more of them than one vector holds and not a whole number of vectors.
TEST(HardSwishLayer, GivesXTimesXPlusThreeKeptBetweenZeroAndSix) {
  setUpOpenCv();
  setUpOpenCv();  // registers the layer once
  std::vector<float> values{-5.0F, -3.0F, -2.5F, -1.0F, 0.0F, 0.5F, 2.0F, 3.0F, 4.5F};
  cv::dnn::Net net;
  cv::dnn::LayerParams params;
  net.addLayerToPrev("activation", kHardSwishTimesSixLayer, params);
  net.setInput(
      cv::Mat(std::vector<int>{1, 1, 1, static_cast<int>(values.size())}, CV_32F, values.data()));
  const cv::Mat output = net.forward();
  ASSERT_EQ(output.total(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_FLOAT_EQ(output.ptr<float>()[i], values[i] * std::clamp(values[i] + 3.0F, 0.0F, 6.0F))
        << values[i];
  }
}

}  // namespace
}  // namespace sorvi
