#include "platform/opencv/ctc_decoding.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include <opencv2/core.hpp>

namespace sorvi {

std::optional<std::vector<std::string>> readRecogniserClasses(const std::string& keysPath) {
  std::ifstream keys(keysPath);
  if (!keys) {
    return std::nullopt;
  }
  std::vector<std::string> classes{""};
  for (std::string line; std::getline(keys, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    classes.push_back(line);
  }
  if (keys.bad() || classes.size() < 2) {
    return std::nullopt;
  }
  classes.emplace_back(" ");
  return classes;
}

namespace {

// The softmax of `row` at its highest score, `best`, with OpenCV's vector
// exp: the graph's own softmax layer took every step, one exp at a time.
float probabilityOfBest(const float* row, std::size_t width, float best, cv::Mat& buffer) {
  buffer.create(1, static_cast<int>(width), CV_32F);
  std::transform(row, row + width, buffer.ptr<float>(), [best](float s) { return s - best; });
  cv::exp(buffer, buffer);
  // The best class alone adds 1; less is a row with a score that is not a
  // number, which gives no probability.
  const double sum = cv::sum(buffer)[0];
  return sum >= 1.0 ? static_cast<float>(1.0 / sum) : 0.0F;
}

}  // namespace

cv::Mat scoresByStep(const cv::Mat& output, std::size_t classes) {
  const int count = static_cast<int>(classes);
  if (output.dims != 3 || output.size[0] != 1 || output.type() != CV_32F) return {};
  cv::Mat table = output.reshape(1, {output.size[1], output.size[2]});
  if (table.cols == count) return table;
  if (table.rows != count) return {};
  cv::Mat byStep;
  cv::transpose(table, byStep);
  return byStep;
}

LineReading decodeCtc(const float* scores, int steps, const std::vector<std::string>& classes) {
  std::vector<std::pair<std::size_t, float>> kept;
  std::size_t previous = 0;
  const std::size_t width = classes.size();
  cv::Mat buffer;
  for (int t = 0; t < steps; ++t) {
    const float* row = scores + static_cast<std::size_t>(t) * width;
    const auto best = static_cast<std::size_t>(std::max_element(row, row + width) - row);
    if (best != 0 && best != previous) {
      kept.emplace_back(best, probabilityOfBest(row, width, row[best], buffer));
    }
    previous = best;
  }
  const auto isSpace = [&classes](const auto& step) { return classes[step.first] == " "; };
  const auto first = std::find_if_not(kept.begin(), kept.end(), isSpace);
  const auto last =
      std::find_if_not(kept.rbegin(), std::make_reverse_iterator(first), isSpace).base();
  LineReading reading;
  double sum = 0.0;
  for (auto step = first; step != last; ++step) {
    reading.text += classes[step->first];
    sum += step->second;
  }
  reading.confidence =
      first != last ? static_cast<float>(sum / static_cast<double>(last - first)) : 0.0F;
  return reading;
}

}  // namespace sorvi
