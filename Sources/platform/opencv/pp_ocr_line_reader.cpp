#include "platform/opencv/pp_ocr_line_reader.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>
#include <string_view>
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

std::string recogniserFile(int width) { return "rec_" + std::to_string(width) + ".onnx"; }

// The input width of a recogniser's file, 0 for other files.
int recogniserWidth(const std::string& file) {
  constexpr std::string_view kPrefix = "rec_";
  constexpr std::string_view kSuffix = ".onnx";
  const std::size_t affixes = kPrefix.size() + kSuffix.size();
  if (file.size() <= affixes || file.size() > affixes + 5 || !file.starts_with(kPrefix) ||
      !file.ends_with(kSuffix)) {
    return 0;
  }
  const std::string digits = file.substr(kPrefix.size(), file.size() - affixes);
  return digits.find_first_not_of("0123456789") == std::string::npos ? std::stoi(digits) : 0;
}

class OpenCvLineReader final : public LineReader {
 public:
  explicit OpenCvLineReader(std::string modelDir) : modelDir_(std::move(modelDir)) {}

  void releaseMemory() override {
    for (auto& [width, net] : nets_) {
      net = cv::dnn::Net();
    }
  }

  std::optional<LineReading> readLine(const RasterImage& image, const TextBox& box,
                                      const std::atomic<bool>& abandoned) override {
    if (abandoned || image.rgba.size() != image.stride() * static_cast<std::size_t>(image.height)) {
      return std::nullopt;
    }
    try {
      return read(image, box, abandoned);
    } catch (const cv::Exception&) {
      return std::nullopt;
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    } catch (const std::filesystem::filesystem_error&) {
      return std::nullopt;
    }
  }

 private:
  std::optional<LineReading> read(const RasterImage& image, const TextBox& box,
                                  const std::atomic<bool>& abandoned) {
    if (!findModels()) {
      return std::nullopt;
    }
    const cv::Mat crop = uprightLineCrop(rgbaView(image), box);
    if (crop.empty()) {
      return std::nullopt;
    }
    const cv::Mat line = lineAtRecogniserHeight(crop);
    const auto fits = nets_.lower_bound(line.cols);
    if (fits != nets_.end()) {
      const LineWindow whole{.start = 0, .firstStep = 0, .endStep = fits->first / kStride};
      return readWindows(line, fits->first, {whole}, abandoned);
    }
    const int widest = nets_.rbegin()->first;
    return readWindows(line, widest, lineWindows(line.cols, widest, kOverlap, kStride), abandoned);
  }

  // The steps the windows contribute, in order, decoded as one line.
  std::optional<LineReading> readWindows(const cv::Mat& line, int width,
                                         const std::vector<LineWindow>& windows,
                                         const std::atomic<bool>& abandoned) {
    cv::dnn::Net* net = loadedNet(width);
    if (net == nullptr) {
      return std::nullopt;
    }
    std::vector<float> steps;
    for (const LineWindow& window : windows) {
      if (abandoned) {
        return std::nullopt;
      }
      net->setInput(recogniserBlob(line.colRange(window.start, line.cols), width));
      const cv::Mat output = net->forward();
      const int count = output.dims == 3 ? output.size[1] : 0;
      if (count <= window.firstStep || output.size[2] != static_cast<int>(classes_.size())) {
        return std::nullopt;
      }
      const int end = std::min(window.endStep, count);
      const auto* first = output.ptr<float>(0, window.firstStep);
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

  // The recognisers' widths and the character list, found once.
  bool findModels() {
    if (searched_) {
      return !nets_.empty() && !classes_.empty();
    }
    searched_ = true;
    setUpOpenCv();
    const std::filesystem::path dir(modelDir_);
    if (auto classes = readRecogniserClasses(dir / "ppocr_keys_v1.txt")) {
      classes_ = std::move(*classes);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (const int width = recogniserWidth(entry.path().filename().string()); width > 0) {
        nets_[width] = cv::dnn::Net();
      }
    }
    return !nets_.empty() && !classes_.empty();
  }

  // A recogniser that does not load is forgotten: the others read its lines.
  cv::dnn::Net* loadedNet(int width) {
    cv::dnn::Net& net = nets_.at(width);
    if (net.empty()) {
      const auto path = std::filesystem::path(modelDir_) / recogniserFile(width);
      try {
        net = cv::dnn::readNetFromONNX(path.string());
      } catch (const cv::Exception&) {
      }
    }
    if (net.empty()) {
      nets_.erase(width);
      return nullptr;
    }
    return &net;
  }

  static constexpr int kStride = 8;    // input columns per output step
  static constexpr int kOverlap = 64;  // columns two windows of a long line share
  std::string modelDir_;
  std::vector<std::string> classes_;
  std::map<int, cv::dnn::Net> nets_;
  bool searched_ = false;
};

}  // namespace

std::unique_ptr<LineReader> makePpOcrLineReader(std::string modelDir) {
  return std::make_unique<OpenCvLineReader>(std::move(modelDir));
}

}  // namespace sorvi
