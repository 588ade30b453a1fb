#pragma once

#include <vector>

#include "detection/text_detector.h"

namespace sorvi {

// The boxes in reading order: bands of lines from top to bottom, each band
// left to right. A box joins a band when most of its height lies within the
// band's, so a tilted sign's words stay on one line while stacked lines do not
// merge.
std::vector<TextBox> inReadingOrder(const std::vector<TextBox>& boxes);

}  // namespace sorvi
