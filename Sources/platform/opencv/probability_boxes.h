#pragma once

#include <vector>

#include <opencv2/core.hpp>

#include "detection/text_detector.h"

namespace sorvi {

// How text regions are cut out of a detector's probability map.
struct BoxSettings {
  float pixelThreshold = 0.3F;  // a pixel is text above this probability
  float boxThreshold = 0.6F;    // a region is kept when its mean probability reaches this
  float unclipRatio = 1.5F;     // how far a region grows back to the whole line
  float minSide = 3.0F;         // in map pixels
  int maxRegions = 1000;
};

// The text lines on a CV_32F probability map, as minimum-area rectangles in
// the pixels of an image of `imageSize` that the map was computed from.
// Corners run clockwise from the top left of the text as it reads: a box
// much taller than wide is read turned a quarter turn clockwise.
std::vector<TextBox> boxesFromProbabilityMap(const cv::Mat& probability, cv::Size imageSize,
                                             const BoxSettings& settings = {});

}  // namespace sorvi
