#include "platform/opencv/opencv_text_detector.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace sorvi {
namespace {

// Dark words on a light image of `size`.
RasterImage words(cv::Size size, const std::string& text, double scale) {
  cv::Mat image(size, CV_8UC4, cv::Scalar(230, 230, 230, 255));
  cv::putText(image, text, {size.width / 10, size.height / 2}, cv::FONT_HERSHEY_SIMPLEX, scale,
              cv::Scalar(20, 20, 20, 255), 3, cv::LINE_AA);
  return {.width = size.width,
          .height = size.height,
          .rgba = std::vector<std::uint8_t>(image.datastart, image.dataend)};
}

// OpenCV 4.6 returned a wrong map from a network reused at another input size
// unless the model's transposed convolutions were folded; giving its buffers
// back resizes it too.
TEST(OpenCvTextDetector, FindsTheSameLinesWhenReusedAtAnotherSizeOrAfterGivingBackItsBuffers) {
  const std::string model = std::string(SORVI_MODEL_DIR) + "/det.onnx";
  const std::atomic<bool> abandoned = false;
  const auto reused = makeOpenCvTextDetector(model);
  ASSERT_TRUE(reused->detect(words({320, 320}, "OPEN", 2), abandoned).has_value());
  const RasterImage image = words({800, 360}, "SORVI 2024", 3);
  const auto again = reused->detect(image, abandoned);
  reused->releaseMemory();
  const auto afterRelease = reused->detect(image, abandoned);
  const auto fresh = makeOpenCvTextDetector(model)->detect(image, abandoned);
  ASSERT_TRUE(again && afterRelease && fresh);
  ASSERT_FALSE(fresh->empty());
  for (const auto* boxes : {&*again, &*afterRelease}) {
    ASSERT_EQ(boxes->size(), fresh->size());
    for (std::size_t i = 0; i < fresh->size(); ++i) {
      for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ((*boxes)[i].corners.at(k).x, (*fresh)[i].corners.at(k).x);
        EXPECT_EQ((*boxes)[i].corners.at(k).y, (*fresh)[i].corners.at(k).y);
      }
    }
  }
}

}  // namespace
}  // namespace sorvi
