#pragma once

#include <memory>
#include <string>

#include "detection/text_detector.h"

namespace sorvi {

// The PP-OCR text detector, run by OpenCV's DNN module on one thread, on
// images scaled down to at most `maxSide` pixels a side (OpenCV 4.6 fails on
// some inputs above about 2,000). `modelPath` is the detector graph rewritten
// for OpenCV; it is loaded on the first detection and kept for the next.
inline constexpr int kDetectorMaxSide = 960;
std::unique_ptr<TextDetector> makeOpenCvTextDetector(std::string modelPath,
                                                     int maxSide = kDetectorMaxSide);

}  // namespace sorvi
