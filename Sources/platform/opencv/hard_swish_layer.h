#pragma once

namespace sorvi {

// The layer type the rewritten text models use for x * min(max(x + 3, 0), 6):
// their hard-swish activations, the division by 6 folded into the
// convolution that reads them.
inline constexpr const char* kHardSwishTimesSixLayer = "sorvi.HardSwishTimesSix";

// Makes that layer type known to OpenCV's importer; later calls do nothing.
void registerHardSwishLayer();

}  // namespace sorvi
