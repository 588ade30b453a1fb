// Classifies arbitrary path bytes: the extension is the text after the last
// dot of the last component, the kind follows the lower-cased extension
// alone, and lower-casing is stable.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/path_classification.h"
#include "fuzz_check.h"
#include "platform/unicode_text.h"

namespace sorvi::fuzz {
namespace {

constexpr std::array<std::string_view, 6> kImages = {"png", "jpg", "jpeg", "heic", "tiff", "webp"};

// The last run of bytes that holds no slash, or empty.
std::string_view lastComponent(std::string_view path) {
  const size_t end = path.find_last_not_of('/');
  if (end == std::string_view::npos) {
    return {};
  }
  const size_t slash = path.find_last_of('/', end);
  const size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
  return path.substr(begin, end + 1 - begin);
}

void checkPath(std::string_view path) {
  const std::string_view extension = pathExtension(path);
  const std::string_view component = lastComponent(path);
  const size_t dot = component.rfind('.');
  if (dot == std::string_view::npos) {
    check(extension.empty(), "extension without a dot", path);
  } else {
    check(extension.size() == component.size() - dot - 1, "extension is not after the last dot",
          path);
    check(extension.data() == component.data() + dot + 1, "extension is not a suffix", path);
  }

  const PathClassification classification = classifyPath(path);
  const std::string& lowered = classification.extension;
  check(lowered == lowercaseFull(extension), "extension not the lower-cased one", path);
  check(lowercaseFull(lowered) == lowered, "lower-casing is not idempotent", path);

  const bool isImage = std::find(kImages.begin(), kImages.end(), lowered) != kImages.end();
  const bool isPdf = lowered == "pdf";
  check((classification.kind == PathKind::kImage) == isImage, "image kind", path);
  check((classification.kind == PathKind::kPdf) == isPdf, "pdf kind", path);
  check((classification.kind == PathKind::kUnsupported) == (!isImage && !isPdf), "unsupported kind",
        path);
}

}  // namespace
}  // namespace sorvi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sorvi::fuzz::checkPath(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
