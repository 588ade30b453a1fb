#include "platform/tesseract/tesseract_lines.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(TextLineWords, JoinsWordsWithSpacesAndAveragesThemUnlessOneWasClipped) {
  TextLineWords line;
  EXPECT_EQ(line.meanConfidence(), std::nullopt);
  line.add("Hello", 90.0F);
  line.add("", 60.0F);  // an empty word still takes its place
  line.add("world", 75.0F);
  EXPECT_EQ(line.text(), "Hello  world");
  EXPECT_FLOAT_EQ(line.meanConfidence().value_or(-1.0F), 75.0F);
  line.add("#", 0.0F);  // its score below zero is lost
  EXPECT_EQ(line.meanConfidence(), std::nullopt);
}

}  // namespace
}  // namespace sorvi
