#include "platform/opencv/recogniser_input.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "platform/opencv/model_input.h"

namespace sorvi {
namespace {

const PlaneNormalisation kRecogniserPlanes{
    .colours = {2, 1, 0}, .mean = {0.5F, 0.5F, 0.5F}, .deviation = {0.5F, 0.5F, 0.5F}};

}  // namespace

cv::Mat lineAtRecogniserHeight(const cv::Mat& rgbaLine) {
  const double ratio = static_cast<double>(rgbaLine.cols) / rgbaLine.rows;
  const int width = std::max(1, static_cast<int>(std::ceil(kRecogniserHeight * ratio)));
  cv::Mat resized;
  cv::resize(rgbaLine, resized, {width, kRecogniserHeight}, 0, 0, cv::INTER_LINEAR);
  return resized;
}

int recogniserInputWidth(int columns) {
  const auto* fits = std::lower_bound(kRecogniserWidths.begin(), kRecogniserWidths.end(), columns);
  return fits != kRecogniserWidths.end() ? *fits : kRecogniserWidths.back();
}

cv::Mat recogniserBlob(const cv::Mat& rgbaLine, int width) {
  return planarBlob(rgbaLine.colRange(0, std::min(width, rgbaLine.cols)), width, kRecogniserPlanes);
}

std::vector<LineWindow> lineWindows(int lineWidth, int width, int overlap, int stride) {
  std::vector<int> starts;
  for (int start = 0; start < lineWidth - width; start += width - overlap) {
    starts.push_back(start);
  }
  starts.push_back((lineWidth - width + stride - 1) / stride * stride);
  const int margin = overlap / 2 / stride;
  std::vector<LineWindow> windows;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const int start = starts[i];
    const bool last = i + 1 == starts.size();
    windows.push_back({.start = start,
                       .firstStep = i == 0 ? 0 : margin,
                       .endStep = last ? (lineWidth - start + stride - 1) / stride
                                       : (starts[i + 1] - start) / stride + margin});
  }
  return windows;
}

}  // namespace sorvi
