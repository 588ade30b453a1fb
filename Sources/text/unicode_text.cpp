#include "text/unicode_text.h"

#include <algorithm>

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "text/utf8.h"

namespace sorvi {
namespace {

bool isWhitespaceOrNewline(UChar32 c) {
  if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85) return true;
  return (U_GET_GC_MASK(c) & U_GC_Z_MASK) != 0;
}

}  // namespace

std::string lowercaseFull(std::string_view utf8) {
  // ASCII lower-cases the same in every locale; skipping ICU here keeps a
  // run over plain names from waking its locale data.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
    std::string out(utf8);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  const std::string valid = toValidUtf8(utf8);
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(
      icu::StringPiece(valid.data(), static_cast<int32_t>(valid.size())));
  text.toLower(icu::Locale::getRoot());
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::string trimWhitespaceAndNewlines(std::string_view utf8) {
  const std::string valid = toValidUtf8(utf8);
  const auto* bytes = reinterpret_cast<const uint8_t*>(valid.data());
  const auto length = static_cast<int32_t>(valid.size());

  int32_t begin = 0;
  while (begin < length) {
    int32_t next = begin;
    UChar32 c = 0;
    U8_NEXT(bytes, next, length, c);
    if (!isWhitespaceOrNewline(c)) break;
    begin = next;
  }
  int32_t end = length;
  while (end > begin) {
    int32_t previous = end;
    UChar32 c = 0;
    U8_PREV(bytes, begin, previous, c);
    if (!isWhitespaceOrNewline(c)) break;
    end = previous;
  }
  return valid.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

}  // namespace sorvi
