#include "platform/opencv/pp_ocr_line_reader.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace sorvi {
namespace {

// Lines are given back in the boxes' order, though read by input width: the
// long line is wider than the widest input and is read in windows. The
// recogniser, unloaded, loads again.
TEST(PpOcrLineReader, ReadsFramedLinesOfAnyLength) {
  const std::vector<std::string> texts = {
      "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG, THEN RUNS 1234 METRES BACK HOME AGAIN",
      "Hello World 42"};
  const auto reader = makePpOcrLineReader(SORVI_MODEL_DIR);
  const std::atomic<bool> abandoned = false;
  cv::Mat pixels(140, 1700, CV_8UC4, cv::Scalar(235, 235, 235, 255));
  std::vector<TextBox> boxes;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const int top = 70 * static_cast<int>(i);
    const cv::Size size = cv::getTextSize(texts[i], cv::FONT_HERSHEY_SIMPLEX, 1.0, 2, nullptr);
    cv::putText(pixels, texts[i], {20, top + 20 + size.height}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
                cv::Scalar(20, 20, 20, 255), 2, cv::LINE_AA);
    const auto left = 10.0F;
    const auto right = static_cast<float>(size.width + 30);
    const auto y0 = static_cast<float>(top + 10);
    const auto y1 = static_cast<float>(top + 60);
    boxes.push_back({.corners = {{{left, y0}, {right, y0}, {right, y1}, {left, y1}}}});
  }
  const RasterImage image{.width = pixels.cols,
                          .height = pixels.rows,
                          .rgba = std::vector<std::uint8_t>(pixels.datastart, pixels.dataend)};
  const auto readings = reader->read(image, boxes, abandoned);
  ASSERT_EQ(readings.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_TRUE(readings[i].has_value()) << texts[i];
    EXPECT_EQ(readings[i]->text, texts[i]);
    EXPECT_GT(readings[i]->confidence, 0.8F);
  }
  reader->releaseMemory();
  EXPECT_EQ(reader->readLine(image, boxes[1], abandoned)->confidence, readings[1]->confidence);
}

}  // namespace
}  // namespace sorvi
