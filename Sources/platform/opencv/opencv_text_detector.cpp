#include "platform/opencv/opencv_text_detector.h"

#include <new>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include "platform/opencv/detector_input.h"
#include "platform/opencv/opencv_setup.h"
#include "platform/opencv/probability_boxes.h"

namespace sorvi {
namespace {

class OpenCvTextDetector final : public TextDetector {
 public:
  OpenCvTextDetector(std::string modelPath, int maxSide)
      : modelPath_(std::move(modelPath)), maxSide_(maxSide) {}

  std::optional<std::vector<TextBox>> detect(const RasterImage& image,
                                             const std::atomic<bool>& abandoned) override {
    if (abandoned || image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != image.stride() * static_cast<std::size_t>(image.height)) {
      return std::nullopt;
    }
    try {
      return boxes(image, abandoned);
    } catch (const cv::Exception&) {
      return std::nullopt;
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
  }

 private:
  std::optional<std::vector<TextBox>> boxes(const RasterImage& image,
                                            const std::atomic<bool>& abandoned) {
    if (!loaded()) {
      return std::nullopt;
    }
    const cv::Size size = detectorInputSize({image.width, image.height}, maxSide_);
    holdsBuffers_ = true;
    net_.setInput(detectorBlob(image, size));
    if (abandoned) {
      return std::nullopt;
    }
    cv::Mat output = net_.forward();
    if (abandoned || output.dims != 4 || output.total() != static_cast<std::size_t>(size.area())) {
      return std::nullopt;
    }
    const cv::Mat probability(size, CV_32F, output.ptr<float>());
    return boxesFromProbabilityMap(probability, {image.width, image.height});
  }

  // The network keeps its buffers sized for the last input, near 200 MB for
  // the largest; run on a tiny one, it hands them back. Failing that costs
  // memory, not the boxes.
  void releaseMemory() noexcept override {
    if (!holdsBuffers_ || net_.empty()) return;
    holdsBuffers_ = false;
    try {
      const int sizes[] = {1, 3, 32, 32};
      net_.setInput(cv::Mat(4, sizes, CV_32F, cv::Scalar(0)));
      net_.forward();
    } catch (const cv::Exception&) {
    } catch (const std::bad_alloc&) {
    }
  }

  bool loaded() {
    if (net_.empty() && !failed_) {
      setUpOpenCv();
      failed_ = true;
      net_ = cv::dnn::readNetFromONNX(modelPath_);
      failed_ = net_.empty();
    }
    return !failed_;
  }

  std::string modelPath_;
  int maxSide_;
  cv::dnn::Net net_;
  bool holdsBuffers_ = false;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<TextDetector> makeOpenCvTextDetector(std::string modelPath, int maxSide) {
  return std::make_unique<OpenCvTextDetector>(std::move(modelPath), maxSide);
}

}  // namespace sorvi
