#pragma once

#include <string>
#include <string_view>

namespace sorvi {

// Copies `bytes`, replacing each maximal invalid UTF-8 subsequence with
// U+FFFD (the substitution practice of Unicode and the WHATWG decoder).
// Paths on Linux are bytes, so this keeps every record printable.
std::string toValidUtf8(std::string_view bytes);

// The code points of `utf8` other than spaces and tabs.
double visibleCharacters(std::string_view utf8);

}  // namespace sorvi
