#include "platform/opencv/pp_ocr_line_reader.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace sorvi {
namespace {

// A short line fits the narrowest recogniser; the long one is wider than the
// widest and is read in windows; unloaded recognisers load again.
TEST(PpOcrLineReader, ReadsAFramedLineOfAnyLength) {
  const auto reader = makePpOcrLineReader(SORVI_MODEL_DIR);
  const std::atomic<bool> abandoned = false;
  for (const std::string text : {"Hello World 42",
                                 "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG, "
                                 "THEN RUNS 1234 METRES BACK HOME AGAIN"}) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, 1.0, 2, &baseline);
    cv::Mat pixels(size.height + baseline + 40, size.width + 40, CV_8UC4,
                   cv::Scalar(235, 235, 235, 255));
    cv::putText(pixels, text, {20, 20 + size.height}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
                cv::Scalar(20, 20, 20, 255), 2, cv::LINE_AA);
    const RasterImage image{.width = pixels.cols,
                            .height = pixels.rows,
                            .rgba = std::vector<std::uint8_t>(pixels.datastart, pixels.dataend)};
    const auto w = static_cast<float>(pixels.cols - 10);
    const auto h = static_cast<float>(pixels.rows - 10);
    const TextBox box{.corners = {{{10, 10}, {w, 10}, {w, h}, {10, h}}}, .score = 1.0F};
    const auto reading = reader->readLine(image, box, abandoned);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(reading->text, text);
    EXPECT_GT(reading->confidence, 0.8F);
    reader->releaseMemory();
    EXPECT_EQ(reader->readLine(image, box, abandoned)->confidence, reading->confidence);
  }
}

}  // namespace
}  // namespace sorvi
