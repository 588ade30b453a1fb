#include "platform/opencv/pp_ocr_line_reader.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <numeric>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include "platform/opencv/ctc_decoding.h"
#include "platform/opencv/line_crop.h"
#include "platform/opencv/model_input.h"
#include "platform/opencv/opencv_setup.h"
#include "platform/opencv/recogniser_input.h"

namespace sorvi {
namespace {

// Runs `work`, a failure of OpenCV or of memory giving `failed`: one line
// that cannot be read leaves the others to be read.
template <typename Result, typename Work>
Result guarded(Work&& work, Result failed) {
  try {
    return work();
  } catch (const cv::Exception&) {
    return failed;
  } catch (const std::bad_alloc&) {
    return failed;
  }
}

class OpenCvLineReader final : public LineReader {
 public:
  explicit OpenCvLineReader(std::string modelDir) : modelDir_(std::move(modelDir)) {}

  void releaseMemory() override { net_ = cv::dnn::Net(); }

  std::vector<std::optional<LineReading>> read(const RasterImage& image,
                                               const std::vector<TextBox>& boxes,
                                               const std::atomic<bool>& abandoned) override {
    std::vector<std::optional<LineReading>> readings(boxes.size());
    if (image.rgba.size() != image.stride() * static_cast<std::size_t>(image.height)) {
      return readings;
    }
    std::vector<cv::Mat> lines(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      lines[i] = guarded(
          [&] {
            const cv::Mat crop = uprightLineCrop(rgbaView(image), boxes[i]);
            return crop.empty() ? crop : lineAtRecogniserHeight(crop);
          },
          cv::Mat());
    }
    std::vector<int> columns(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) columns[i] = lines[i].cols;
    const std::vector<int> widths = recogniserInputWidths(columns);
    // Lines that share an input width are read one after another, so that
    // the recogniser sets itself up once for each width.
    std::vector<std::size_t> order(boxes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return widths[a] < widths[b]; });
    for (const std::size_t i : order) {
      if (abandoned || !loaded()) break;
      if (lines[i].empty()) continue;
      readings[i] = guarded([&] { return readLine(lines[i], widths[i], abandoned); },
                            std::optional<LineReading>());
    }
    return readings;
  }

 private:
  std::optional<LineReading> readLine(const cv::Mat& line, int width,
                                      const std::atomic<bool>& abandoned) {
    if (line.cols <= width) {
      return readWindows(line, width,
                         {{.start = 0, .firstStep = 0, .endStep = width / kRecogniserStride}},
                         abandoned);
    }
    return readWindows(line, width, lineWindows(line.cols, width, kOverlap, kRecogniserStride),
                       abandoned);
  }

  // The steps the windows contribute, in order, decoded as one line.
  std::optional<LineReading> readWindows(const cv::Mat& line, int width,
                                         const std::vector<LineWindow>& windows,
                                         const std::atomic<bool>& abandoned) {
    std::vector<float> steps;
    for (const LineWindow& window : windows) {
      if (abandoned) {
        return std::nullopt;
      }
      net_.setInput(recogniserBlob(line.colRange(window.start, line.cols), width));
      const cv::Mat scores = scoresByStep(net_.forward(), classes_.size());
      if (scores.rows <= window.firstStep) {
        return std::nullopt;
      }
      const int end = std::min(window.endStep, scores.rows);
      const auto* first = scores.ptr<float>(window.firstStep);
      steps.insert(steps.end(), first,
                   first + static_cast<std::size_t>(end - window.firstStep) * classes_.size());
    }
    LineReading reading =
        decodeCtc(steps.data(), static_cast<int>(steps.size() / classes_.size()), classes_);
    // The mean probability of the characters overstates how often a line is
    // read right; its cube matches the share of lines read right, and clean
    // pages then trust as many characters as Tesseract trusts of them, so the
    // two readings weigh alike.
    reading.confidence = reading.confidence * reading.confidence * reading.confidence;
    return reading;
  }

  // The character list, read once, and the recogniser, loaded again after
  // its memory was released. Models that do not load are not tried again.
  bool loaded() {
    if (unavailable_) {
      return false;
    }
    if (!net_.empty()) {
      return true;
    }
    setUpOpenCv();
    const std::filesystem::path dir(modelDir_);
    if (classes_.empty()) {
      auto classes = guarded([&] { return readRecogniserClasses(dir / "ppocr_keys_v1.txt"); },
                             std::optional<std::vector<std::string>>());
      if (classes) classes_ = std::move(*classes);
    }
    if (!classes_.empty()) {
      net_ = guarded([&] { return cv::dnn::readNetFromONNX((dir / "rec.onnx").string()); },
                     cv::dnn::Net());
    }
    unavailable_ = net_.empty();
    return !unavailable_;
  }

  static constexpr int kOverlap = 64;  // columns two windows of a long line share
  std::string modelDir_;
  std::vector<std::string> classes_;
  cv::dnn::Net net_;
  bool unavailable_ = false;
};

}  // namespace

std::unique_ptr<LineReader> makePpOcrLineReader(std::string modelDir) {
  return std::make_unique<OpenCvLineReader>(std::move(modelDir));
}

}  // namespace sorvi
