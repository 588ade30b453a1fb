#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/text_detector.h"

namespace sorvi {

// The recogniser's classes: the blank first, then one character per line of
// the keys file, then the space.
std::optional<std::vector<std::string>> readRecogniserClasses(const std::string& keysPath);

// The recogniser's output, [1,T,C] or [1,C,T] for C `classes`, as one row of
// scores per step; empty for any other shape.
cv::Mat scoresByStep(const cv::Mat& output, std::size_t classes);

// Greedy CTC decoding of `steps` rows of class scores, one row's softmax
// giving its probabilities: the most likely class of each step, repeats
// collapsed, blanks and the spaces at either end dropped. The confidence is
// the mean probability of the characters kept, 0 when none is.
LineReading decodeCtc(const float* scores, int steps, const std::vector<std::string>& classes);

}  // namespace sorvi
