#include "output/json_encoder.h"

#include <charconv>
#include <cmath>

#include "text/utf8.h"

namespace sorvi {
namespace {

void appendEscape(std::string& out, unsigned char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '/':
      out += "\\/";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (c < 0x20) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
    return;
  }
  out += static_cast<char>(c);
}

void appendKey(std::string& out, bool& first, std::string_view key) {
  if (!first) out += ',';
  first = false;
  out += '"';
  out += key;
  out += "\":";
}

void appendExif(std::string& out, const ExifData& exif) {
  out += '{';
  bool first = true;
  if (exif.date_taken) {
    appendKey(out, first, "date_taken");
    appendJsonString(out, *exif.date_taken);
  }
  if (exif.gps) {
    appendKey(out, first, "gps");
    appendJsonString(out, *exif.gps);
  }
  out += '}';
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
  const std::string valid = toValidUtf8(text);
  out += '"';
  for (const char c : valid) appendEscape(out, static_cast<unsigned char>(c));
  out += '"';
}

bool appendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) return false;
  // "-0" reads back as the integer 0 in many parsers and loses its sign.
  if (value == 0 && std::signbit(value)) {
    out += "-0.0";
    return true;
  }
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc{}) return false;
  out.append(buffer, end);
  return true;
}

std::optional<std::string> JsonEncoder::encode(const OcrResult& record) const {
  std::string out = "{";
  bool first = true;
  appendKey(out, first, "path");
  appendJsonString(out, record.path);
  if (record.text) {
    appendKey(out, first, "text");
    appendJsonString(out, *record.text);
  }
  if (record.confidence) {
    appendKey(out, first, "confidence");
    if (!appendJsonNumber(out, *record.confidence)) return std::nullopt;
  }
  if (record.exif) {
    appendKey(out, first, "exif");
    appendExif(out, *record.exif);
  }
  if (record.error) {
    appendKey(out, first, "error");
    appendJsonString(out, *record.error);
  }
  out += '}';
  return out;
}

}  // namespace sorvi
