#pragma once

#include <opencv2/dnn.hpp>

namespace sorvi {

// The layer type the rewritten text models use for x * min(max(x + 3, 0), 6):
// their hard-swish activations, the division by 6 folded into the
// convolution that reads them.
inline constexpr const char* kHardSwishTimesSixLayer = "sorvi.HardSwishTimesSix";

// The layer, made from the importer's parameters (setUpOpenCv registers it).
cv::Ptr<cv::dnn::Layer> makeHardSwishLayer(cv::dnn::LayerParams& params);

}  // namespace sorvi
