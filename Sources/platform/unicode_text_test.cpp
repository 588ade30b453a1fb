#include "platform/unicode_text.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(TrimWhitespaceAndNewlines, RemovesTheWholeSetAtBothEndsOnly) {
  EXPECT_EQ(trimWhitespaceAndNewlines(" \t\n\v\f\r a \n b \u00A0\u0085\u2028\u2029\u3000"),
            "a \n b");
  EXPECT_EQ(trimWhitespaceAndNewlines(" \n \u2003 "), "");
  EXPECT_EQ(trimWhitespaceAndNewlines(""), "");
  // Zero-width space (category Cf) is not white space.
  EXPECT_EQ(trimWhitespaceAndNewlines("\u200Bx\u200B"), "\u200Bx\u200B");
  EXPECT_EQ(trimWhitespaceAndNewlines("日本 "), "日本");
}

}  // namespace
}  // namespace sorvi
