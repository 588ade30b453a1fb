#include "platform/opencv/recogniser_input.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

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

std::vector<int> recogniserInputWidths(const std::vector<int>& columns) {
  constexpr std::int64_t kSetUpColumns = 85;
  const auto fitted = [](int c) {
    const int steps = (c + kRecogniserStride - 1) / kRecogniserStride;
    return std::clamp(steps * kRecogniserStride, kRecogniserMinWidth, kRecogniserMaxWidth);
  };
  const std::size_t count = columns.size();
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return columns[a] < columns[b]; });
  // cost[j]: the least cost of the `j` narrowest lines, cut into groups of
  // neighbours; start[j]: where the last of those groups starts.
  std::vector<std::int64_t> cost(count + 1, 0);
  std::vector<std::size_t> start(count + 1, 0);
  for (std::size_t j = 1; j <= count; ++j) {
    const std::int64_t width = fitted(columns[order[j - 1]]);
    cost[j] = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 0; i < j; ++i) {
      const std::int64_t c = cost[i] + kSetUpColumns + static_cast<std::int64_t>(j - i) * width;
      if (c < cost[j]) {
        cost[j] = c;
        start[j] = i;
      }
    }
  }
  std::vector<int> widths(count, 0);
  for (std::size_t j = count; j > 0; j = start[j]) {
    const int width = fitted(columns[order[j - 1]]);
    for (std::size_t k = start[j]; k < j; ++k) widths[order[k]] = width;
  }
  return widths;
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
