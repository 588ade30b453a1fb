#pragma once

namespace sorvi {

// The layer type the rewritten text models use for their 5x5 depthwise
// convolutions that step one column at a time: inputs x, weights [C,1,5,5]
// and bias [C]; two pixels of zero padding on every side; strides [y, 1].
inline constexpr const char* kDepthwise5x5Layer = "sorvi.DepthwiseConv5x5";

// Makes that layer type known to OpenCV's importer; later calls do nothing.
void registerDepthwise5x5Layer();

}  // namespace sorvi
