#include "detection/scene_reading.h"

#include <gtest/gtest.h>

#include "detection/page_words.h"
#include "detection/reading_order.h"

namespace sorvi {
namespace {

// An upright box; its score carries the label the fake reader gives it.
TextBox box(float left, float top, float right, float bottom, int label) {
  return {.corners = {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}},
          .score = static_cast<float>(label)};
}

// A box tilted by `rise` over its width, as words on a sign seen at an angle.
TextBox tilted(float left, float top, float right, float height, float rise, int label) {
  return {.corners = {{{left, top},
                       {right, top - rise},
                       {right, top - rise + height},
                       {left, top + height}}},
          .score = static_cast<float>(label)};
}

std::string labels(const std::vector<TextBox>& boxes) {
  std::string order;
  for (const TextBox& b : boxes) order += std::to_string(static_cast<int>(b.score));
  return order;
}

TEST(ReadingOrder, BandsTopToBottomAndLeftToRightWithinABand) {
  // clang-format off
  struct Case { const char* what; std::vector<TextBox> boxes; std::string order; }
  cases[] = {
      {"two lines, words given backwards",
       {box(60, 52, 90, 70, 4), box(0, 50, 50, 70, 3), box(55, 0, 90, 20, 2), box(0, 2, 50, 22, 1)},
       "1234"},
      {"a tilted line stays one band", {tilted(100, 30, 160, 20, 8, 2), tilted(0, 40, 90, 20, 8, 1)},
       "12"},
      {"columns of stacked lines", {box(200, 0, 300, 20, 2), box(0, 30, 100, 50, 3),
                                    box(0, 0, 100, 20, 1), box(200, 30, 300, 50, 4)}, "1234"},
      {"a tall box beside two short lines", {box(0, 0, 50, 100, 1), box(60, 10, 200, 30, 2),
                                            box(60, 70, 200, 90, 3)}, "123"},
      {"none", {}, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(labels(inReadingOrder(c.boxes)), c.order);
  }
}

// Reads box N as "line N"; box 0 cannot be read.
struct FakeReader : LineReader {
  std::string labels;  // of the boxes read, in the order read
  std::vector<std::optional<LineReading>> read(const RasterImage&,
                                               const std::vector<TextBox>& boxes,
                                               const std::atomic<bool>&) override {
    std::vector<std::optional<LineReading>> readings;
    for (const TextBox& b : boxes) {
      labels += std::to_string(static_cast<int>(b.score));
      readings.push_back(b.score == 0
                             ? std::nullopt
                             : std::optional<LineReading>(LineReading{
                                   "line " + std::to_string(static_cast<int>(b.score)), 0.8F}));
    }
    return readings;
  }
};

TEST(SceneReading, EachLineIsOneObservationAndAnUnreadableOneHasNoCandidate) {
  const RasterImage image{.width = 1, .height = 1, .rgba = {0, 0, 0, 0}};
  const SampleJudge never = [](const EngineOutput&, double) { return false; };
  FakeReader reader;
  const std::vector<TextBox> found = {box(0, 0, 10, 10, 1), box(0, 20, 10, 30, 0)};
  const EngineOutput output = readLines(reader, image, found, {}, std::atomic<bool>{false}, never);
  ASSERT_TRUE(output.results) << "too few lines to sample";
  ASSERT_EQ(output.results->size(), 2U);
  EXPECT_EQ((*output.results)[0].topCandidate, "line 1");
  EXPECT_FALSE((*output.results)[1].topCandidate);
  EXPECT_TRUE(readLines(reader, image, found, {}, std::atomic<bool>{true}, never).failed);
}

TEST(SceneReading, ManyLinesAreSampledFirstAndEachIsReadOnce) {
  const RasterImage image{.width = 1, .height = 1, .rgba = {0, 0, 0, 0}};
  std::vector<TextBox> found;
  for (int label = 1; label <= 9; ++label)
    found.push_back(box(0, static_cast<float>(label) * 20.0F, 10, 10, label));
  for (const bool goOn : {false, true}) {
    SCOPED_TRACE(goOn);
    FakeReader reader;
    std::size_t sampled = 0;
    const EngineOutput output = readLines(reader, image, found, {}, std::atomic<bool>{false},
                                          [&](const EngineOutput& sample, double share) {
                                            sampled = sample.results->size();
                                            EXPECT_DOUBLE_EQ(share, 6.0 / 9);
                                            return goOn;
                                          });
    EXPECT_EQ(sampled, 6U);
    EXPECT_EQ(reader.labels, goOn ? "124578369" : "124578");
    EXPECT_EQ(output.results.has_value(), goOn);
    if (goOn) {
      EXPECT_EQ(output.results->back().topCandidate, "line 9");
    }
  }
}

EngineWord word(const char* text, float confidence, int left, int top, int right, int bottom);

TEST(SceneReading, PastItsBudgetOfWorkALineKeepsThePageWordsHoweverDoubtful) {
  const RasterImage image{.width = 1, .height = 1, .rgba = {0, 0, 0, 0}};
  // Each 150 heights long: the reader reads two, whatever the machine, first
  // those the page reading missed.
  std::vector<TextBox> found;
  for (int label = 1; label <= 4; ++label)
    found.push_back(box(0, static_cast<float>(label) * 20.0F, 1500,
                        static_cast<float>(label) * 20.0F + 10, label));
  const std::vector<EngineWord> words = {word("doubtful", 0.3F, 10, 21, 90, 29)};
  FakeReader reader;
  const EngineOutput output = readLines(reader, image, found, words, std::atomic<bool>{false},
                                        [](const EngineOutput&, double) { return true; });
  EXPECT_EQ(reader.labels, "23");
  ASSERT_TRUE(output.results);
  ASSERT_EQ(output.results->size(), 4U);
  EXPECT_EQ((*output.results)[0].topCandidate, "doubtful");
  EXPECT_FLOAT_EQ((*output.results)[0].confidence, 0.3F);
  EXPECT_EQ((*output.results)[2].topCandidate, "line 3");
  EXPECT_FALSE((*output.results)[3].topCandidate);
}

EngineWord word(const char* text, float confidence, int left, int top, int right, int bottom) {
  return {.text = text, .confidence = confidence, .box = {left, top, right, bottom}};
}

TEST(PageWords, AConfidentlyReadLineKeepsThePageReading) {
  const TextBox line = box(0, 0, 100, 20, 1);
  // Read upwards: the text starts at the bottom.
  const TextBox standing = {.corners = {{{0, 100}, {0, 0}, {20, 0}, {20, 100}}}};
  // clang-format off
  struct Case { const char* what; const TextBox& line; std::vector<EngineWord> words;
                std::optional<std::string> text; }
  cases[] = {
      {"words in the order the line reads", line,
       {word("DAILY", 0.9F, 55, 2, 95, 18), word("OPEN", 0.95F, 5, 2, 50, 18),
        word("elsewhere", 0.9F, 5, 40, 95, 60)}, "OPEN DAILY"},
      {"one doubtful word", line, {word("OPEN", 0.95F, 5, 2, 50, 18), word("DA1LY", 0.5F, 55, 2, 95, 18)},
       std::nullopt},
      {"part of the line unread", line, {word("OPEN", 0.95F, 5, 2, 50, 18)}, std::nullopt},
      {"nothing on it", line, {word("elsewhere", 0.9F, 5, 40, 95, 60)}, std::nullopt},
      {"a wide word read as one letter", line, {word("i", 0.9F, 5, 2, 95, 18)}, std::nullopt},
      {"a line standing on end", standing,
       {word("DAILY", 0.9F, 2, 5, 18, 45), word("OPEN", 0.9F, 2, 50, 18, 95)}, "OPEN DAILY"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<LineReading> read = lineFromPageWords(c.line, c.words);
    EXPECT_EQ(read ? std::optional(read->text) : std::nullopt, c.text);
  }
  const auto mean = lineFromPageWords(line, cases[0].words);
  ASSERT_TRUE(mean);
  EXPECT_FLOAT_EQ(mean->confidence, 0.925F);

  // The reader is not asked for a line the page read.
  FakeReader reader;
  const RasterImage image{.width = 1, .height = 1, .rgba = {0, 0, 0, 0}};
  const EngineOutput output =
      readLines(reader, image, {line, box(0, 40, 100, 60, 2)}, cases[0].words,
                std::atomic<bool>{false}, [](const EngineOutput&, double) { return true; });
  EXPECT_EQ(reader.labels, "");
  ASSERT_TRUE(output.results);
  EXPECT_EQ((*output.results)[1].topCandidate, "elsewhere");
}

}  // namespace
}  // namespace sorvi
