#include "platform/tesseract_lines.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(TesseractLines, StripsOnlyTrailingSeparators) {
  EXPECT_EQ(withoutLineSeparators("of file format.\n\n"), "of file format.");
  EXPECT_EQ(withoutLineSeparators("a\nb \n"), "a\nb ");
  EXPECT_EQ(withoutLineSeparators(" x"), " x");
  EXPECT_EQ(withoutLineSeparators("\n"), "");
}

TEST(TesseractLines, BlankLinesHoldOnlySpaces) {
  EXPECT_TRUE(isBlankLine(""));
  EXPECT_TRUE(isBlankLine("    \n\n"));
  EXPECT_FALSE(isBlankLine("  .  "));
  EXPECT_FALSE(isBlankLine("é"));
}

}  // namespace
}  // namespace sorvi
