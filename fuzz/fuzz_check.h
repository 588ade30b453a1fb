#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace sorvi::fuzz {

// Stops the run so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  if (!detail.empty()) {
    std::fprintf(stderr, "  detail (%zu bytes): ", detail.size());
    for (const char c : detail) {
      std::fprintf(stderr, "%02x", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\n");
  }
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) {
    fail(what, detail);
  }
}

// Well-formed UTF-8 by the table of the Unicode standard (no overlongs, no
// surrogates, nothing past U+10FFFF). Written apart from the project's own
// converter so that one can check the other.
inline bool isValidUtf8(std::string_view text) {
  size_t i = 0;
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const auto inRange = [&](size_t k, unsigned lo, unsigned hi) {
    return k < text.size() && at(k) >= lo && at(k) <= hi;
  };
  while (i < text.size()) {
    const unsigned lead = at(i);
    if (lead <= 0x7F) {
      i += 1;
    } else if (lead >= 0xC2 && lead <= 0xDF && inRange(i + 1, 0x80, 0xBF)) {
      i += 2;
    } else if (lead == 0xE0 && inRange(i + 1, 0xA0, 0xBF) && inRange(i + 2, 0x80, 0xBF)) {
      i += 3;
    } else if (((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) &&
               inRange(i + 1, 0x80, 0xBF) && inRange(i + 2, 0x80, 0xBF)) {
      i += 3;
    } else if (lead == 0xED && inRange(i + 1, 0x80, 0x9F) && inRange(i + 2, 0x80, 0xBF)) {
      i += 3;
    } else if (lead == 0xF0 && inRange(i + 1, 0x90, 0xBF) && inRange(i + 2, 0x80, 0xBF) &&
               inRange(i + 3, 0x80, 0xBF)) {
      i += 4;
    } else if (lead >= 0xF1 && lead <= 0xF3 && inRange(i + 1, 0x80, 0xBF) &&
               inRange(i + 2, 0x80, 0xBF) && inRange(i + 3, 0x80, 0xBF)) {
      i += 4;
    } else if (lead == 0xF4 && inRange(i + 1, 0x80, 0x8F) && inRange(i + 2, 0x80, 0xBF) &&
               inRange(i + 3, 0x80, 0xBF)) {
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace sorvi::fuzz
