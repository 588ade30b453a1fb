#pragma once

#include <opencv2/dnn.hpp>

namespace sorvi {

// The layer type the rewritten text models use for their 5x5 depthwise
// convolutions that step one column at a time: inputs x, weights [C,1,5,5]
// and bias [C]; two pixels of zero padding on every side; strides [y, 1].
inline constexpr const char* kDepthwise5x5Layer = "sorvi.DepthwiseConv5x5";

// The layer, made from the importer's parameters (setUpOpenCv registers it).
cv::Ptr<cv::dnn::Layer> makeDepthwise5x5Layer(cv::dnn::LayerParams& params);

}  // namespace sorvi
