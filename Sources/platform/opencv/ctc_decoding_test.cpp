#include "platform/opencv/ctc_decoding.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(DecodeCtc, CollapsesRepeatsDropsBlanksAndOuterSpacesAndAveragesTheRest) {
  const std::vector<std::string> classes{"", "a", "b", " "};
  // Each step: the winning class and its probability, the rest shared out;
  // their logarithms are scores whose softmax gives them back.
  const struct {
    std::vector<std::pair<int, float>> steps;
    std::string text;
    float confidence;
  } cases[] = {
      {{{1, 0.9F}, {1, 0.5F}, {0, 0.9F}, {1, 0.7F}, {3, 0.6F}, {2, 0.8F}, {2, 0.4F}},
       "aa b",
       0.75F},
      {{{3, 0.6F}, {0, 0.9F}, {1, 0.9F}, {3, 0.5F}}, "a", 0.9F},
      {{{0, 0.9F}, {3, 0.8F}}, "", 0.0F},
      {{}, "", 0.0F},
  };
  for (const auto& c : cases) {
    std::vector<float> table;
    for (const auto& [best, probability] : c.steps) {
      for (int k = 0; k < 4; ++k) {
        table.push_back(std::log(k == best ? probability : (1.0F - probability) / 3.0F));
      }
    }
    const LineReading reading = decodeCtc(table.data(), static_cast<int>(c.steps.size()), classes);
    EXPECT_EQ(reading.text, c.text);
    EXPECT_NEAR(reading.confidence, c.confidence, 1e-6);
  }
}

TEST(ScoresByStep, GivesAStepPerRowFromEitherLayoutAndNothingFromOtherShapes) {
  std::vector<float> rows{1, 2, 3, 4, 5, 6};     // 2 steps of 3 classes
  std::vector<float> columns{1, 4, 2, 5, 3, 6};  // the same, a step per column
  const cv::Mat byRow(std::vector<int>{1, 2, 3}, CV_32F, rows.data());
  const cv::Mat byColumn(std::vector<int>{1, 3, 2}, CV_32F, columns.data());
  const cv::Mat expected(2, 3, CV_32F, rows.data());
  EXPECT_EQ(cv::norm(scoresByStep(byRow, 3), expected, cv::NORM_INF), 0);
  EXPECT_EQ(cv::norm(scoresByStep(byColumn, 3), expected, cv::NORM_INF), 0);
  EXPECT_TRUE(scoresByStep(byRow, 4).empty());
}

TEST(ReadRecogniserClasses, PutsTheBlankFirstAndTheSpaceLast) {
  const std::string path = testing::TempDir() + "/keys.txt";
  std::ofstream(path) << "x\r\n\xC3\xA4\ny";
  EXPECT_EQ(readRecogniserClasses(path), (std::vector<std::string>{"", "x", "\xC3\xA4", "y", " "}));
  std::remove(path.c_str());
  EXPECT_FALSE(readRecogniserClasses(path).has_value());
}

}  // namespace
}  // namespace sorvi
