#include "text/utf8.h"

#include <algorithm>

namespace sorvi {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the valid sequence starting at `i`, or of the maximal prefix
// of one (negated) when the sequence is cut short or malformed.
int sequenceLength(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  int need = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  for (int k = 1; k <= need; ++k) {
    if (i + k >= s.size()) return -k;
    const unsigned char c = byte(i + k);
    const unsigned char lo = k == 1 ? low : 0x80;
    const unsigned char hi = k == 1 ? high : 0xBF;
    if (c < lo || c > hi) return -k;
  }
  return need + 1;
}

}  // namespace

std::string toValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const int length = sequenceLength(bytes, i);
    if (length > 0) {
      out.append(bytes.substr(i, static_cast<size_t>(length)));
      i += static_cast<size_t>(length);
    } else {
      out += kReplacement;
      i += static_cast<size_t>(-length);
    }
  }
  return out;
}

double visibleCharacters(std::string_view utf8) {
  return static_cast<double>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte & 0xC0U) != 0x80U && byte != ' ' && byte != '\t';
  }));
}

}  // namespace sorvi
