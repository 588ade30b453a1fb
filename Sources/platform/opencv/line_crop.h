#pragma once

#include <opencv2/core.hpp>

#include "detection/text_detector.h"

namespace sorvi {

// The size of the upright image of the line `box` frames: its longer top or
// bottom edge by its longer left or right edge, whole pixels; 0 x 0 when a
// corner is not finite or the box is larger than any image.
cv::Size lineCropSize(const TextBox& box);

// The line `box` frames on a 4-channel image, warped upright to
// lineCropSize(box): its first corner at the top left. Empty when that size
// has no area.
cv::Mat uprightLineCrop(const cv::Mat& rgba, const TextBox& box);

}  // namespace sorvi
