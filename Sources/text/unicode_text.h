#pragma once

#include <string>
#include <string_view>

namespace sorvi {

// Full Unicode lower-case mapping of UTF-8 text, the same in every locale
// ("ÄBC" gives "äbc", "İ" gives "i̇"). Invalid bytes become U+FFFD first.
std::string lowercaseFull(std::string_view utf8);

// `utf8` without leading and trailing white space and line breaks: tab,
// U+000A to U+000D, U+0085 and every character of general category Z.
std::string trimWhitespaceAndNewlines(std::string_view utf8);

}  // namespace sorvi
