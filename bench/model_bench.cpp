// Compares two builds of the text models (e.g. the graphs main builds and
// the ones rewritten for speed) in one process, so that both see the same
// load: the largest difference of their outputs, the lines whose reading
// changed, and the time of the detector at 960x544 and of the recogniser
// per line, the two runs interleaved round by round.
//
//   sorvi_model_bench BEFORE_DIR AFTER_DIR ROUNDS IMAGE...
//
// The lines are those BEFORE's detector finds on the images.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <numeric>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include "platform/images/image_file_source.h"
#include "platform/opencv/ctc_decoding.h"
#include "platform/opencv/detector_input.h"
#include "platform/opencv/line_crop.h"
#include "platform/opencv/model_input.h"
#include "platform/opencv/opencv_setup.h"
#include "platform/opencv/opencv_text_detector.h"
#include "platform/opencv/pp_ocr_line_reader.h"
#include "platform/opencv/recogniser_input.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kTimedLines = 60;

// One build of the models: its detector and its recogniser.
struct Models {
  explicit Models(const std::string& dir)
      : detector(cv::dnn::readNetFromONNX(dir + "/det.onnx")),
        recogniser(cv::dnn::readNetFromONNX(dir + "/rec.onnx")) {}
  cv::dnn::Net detector;
  cv::dnn::Net recogniser;
};

double run(cv::dnn::Net& net, const cv::Mat& blob, cv::Mat& output) {
  const auto start = Clock::now();
  net.setInput(blob);
  output = net.forward().clone();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The recogniser's scores as the probabilities the reader takes from them,
// a softmax per step.
cv::Mat probabilities(const cv::Mat& scores, std::size_t classes) {
  cv::Mat rows = sorvi::scoresByStep(scores, classes).clone();
  for (int t = 0; t < rows.rows; ++t) {
    cv::Mat row = rows.row(t);
    double best = 0;
    cv::minMaxLoc(row, nullptr, &best);
    cv::exp(row - best, row);
    row /= cv::sum(row)[0];
  }
  return rows;
}

double maxDifference(const cv::Mat& a, const cv::Mat& b) {
  if (a.total() != b.total()) return INFINITY;
  return cv::norm(a.reshape(1, 1), b.reshape(1, 1), cv::NORM_INF);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Median over `rounds` of the seconds `before` and `after` take on `count`
// cases, run case by case alternately, each first on every other case, so
// that both see the same load.
template <typename Run>
std::pair<double, double> interleaved(int rounds, std::size_t count, Run run) {
  std::vector<double> before;
  std::vector<double> after;
  for (int r = 0; r < rounds; ++r) {
    double a = 0;
    double b = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const bool afterFirst = (r + i) % 2 == 1;
      (afterFirst ? b : a) += run(afterFirst, i);
      (afterFirst ? a : b) += run(!afterFirst, i);
    }
    before.push_back(a);
    after.push_back(b);
  }
  return {median(before), median(after)};
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc < 5) {
    std::cerr << "usage: sorvi_model_bench BEFORE_DIR AFTER_DIR ROUNDS IMAGE...\n";
    return 2;
  }
  sorvi::initialiseImageLibraries();
  sorvi::setUpOpenCv();
  Models before(argv[1]);
  Models after(argv[2]);
  const int rounds = std::max(1, std::atoi(argv[3]));
  const std::size_t classes =
      sorvi::readRecogniserClasses(std::string(argv[1]) + "/ppocr_keys_v1.txt").value().size();
  const auto detector = sorvi::makeOpenCvTextDetector(std::string(argv[1]) + "/det.onnx");
  const auto readerBefore = sorvi::makePpOcrLineReader(argv[1]);
  const auto readerAfter = sorvi::makePpOcrLineReader(argv[2]);
  const std::atomic<bool> abandoned = false;

  double detectorDifference = 0;
  double recogniserDifference = 0;
  double confidenceDifference = 0;
  int changed = 0;
  std::string worstLine;  // where the recognisers differ most
  cv::Mat detectorTimingBlob;
  std::vector<cv::Mat> lines;
  for (int i = 4; i < argc; ++i) {
    const auto image = sorvi::decodeImageFile(argv[i]);
    if (!image) continue;
    const cv::Size size = sorvi::detectorInputSize({image->width, image->height}, 960);
    const cv::Mat blob = sorvi::detectorBlob(*image, size);
    cv::Mat a;
    cv::Mat b;
    run(before.detector, blob, a);
    run(after.detector, blob, b);
    detectorDifference = std::max(detectorDifference, maxDifference(a, b));
    if (detectorTimingBlob.empty()) {
      detectorTimingBlob = sorvi::detectorBlob(*image, {960, 544});
    }
    const auto boxes = detector->detect(*image, abandoned);
    for (const sorvi::TextBox& box : boxes ? *boxes : std::vector<sorvi::TextBox>{}) {
      const cv::Mat crop = sorvi::uprightLineCrop(sorvi::rgbaView(*image), box);
      if (crop.empty()) continue;
      lines.push_back(sorvi::lineAtRecogniserHeight(crop));
      const int width = sorvi::recogniserInputWidths({lines.back().cols}).front();
      const cv::Mat input = sorvi::recogniserBlob(lines.back(), width);
      run(before.recogniser, input, a);
      run(after.recogniser, input, b);
      const double difference = maxDifference(probabilities(a, classes), probabilities(b, classes));
      if (difference > recogniserDifference) {
        recogniserDifference = difference;
        worstLine = std::string(argv[i]) + " line " + std::to_string(lines.size());
      }
      const auto readBefore = readerBefore->readLine(*image, box, abandoned);
      const auto readAfter = readerAfter->readLine(*image, box, abandoned);
      if (readBefore && readAfter) {
        confidenceDifference =
            std::max(confidenceDifference,
                     static_cast<double>(std::abs(readBefore->confidence - readAfter->confidence)));
      }
      if (!readBefore || !readAfter || readBefore->text != readAfter->text) {
        ++changed;
        std::cout << "changed: " << argv[i] << ": \"" << (readBefore ? readBefore->text : "-")
                  << "\" -> \"" << (readAfter ? readAfter->text : "-") << "\"" << std::endl;
      }
    }
  }
  std::cout << "images " << argc - 4 << ", lines " << lines.size() << '\n'
            << "max |difference|: detector " << detectorDifference << ", recogniser "
            << recogniserDifference << " (" << worstLine << "), line confidence "
            << confidenceDifference << '\n'
            << "lines read differently: " << changed << std::endl;

  cv::Mat output;
  const auto [detBefore, detAfter] = interleaved(rounds, 1, [&](bool isAfter, std::size_t) {
    return run(isAfter ? after.detector : before.detector, detectorTimingBlob, output);
  });
  std::cout << "detector 960x544: before " << detBefore * 1e3 << " ms, after " << detAfter * 1e3
            << " ms, " << detBefore / detAfter << "x" << std::endl;
  // At most kTimedLines lines, spread over all, keep the timing short; by
  // input width, as the reader reads them, so that a recogniser sets itself
  // up once per width and round.
  std::vector<cv::Mat> timed;
  for (std::size_t i = 0; i < lines.size(); i += (lines.size() + kTimedLines - 1) / kTimedLines) {
    timed.push_back(lines[i]);
  }
  std::vector<int> columns(timed.size());
  for (std::size_t i = 0; i < timed.size(); ++i) columns[i] = timed[i].cols;
  std::vector<int> widths = sorvi::recogniserInputWidths(columns);
  std::vector<std::size_t> order(timed.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return widths[a] < widths[b]; });
  const auto [recBefore, recAfter] =
      interleaved(rounds, timed.size(), [&](bool isAfter, std::size_t i) {
        const std::size_t line = order[i];
        return run((isAfter ? after : before).recogniser,
                   sorvi::recogniserBlob(timed[line], widths[line]), output);
      });
  const double perLine = 1e3 / static_cast<double>(std::max<std::size_t>(timed.size(), 1));
  std::cout << "recogniser per line: before " << recBefore * perLine << " ms, after "
            << recAfter * perLine << " ms, " << recBefore / recAfter << "x (" << timed.size()
            << " lines)" << std::endl;
  return 0;
} catch (const std::exception& error) {
  std::cerr << error.what() << '\n';
  return 1;
}
