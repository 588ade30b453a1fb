#include "driver/path_classification.h"

#include <algorithm>
#include <array>

#include "text/unicode_text.h"

namespace sorvi {
namespace {

constexpr std::array<std::string_view, 6> kImageExtensions = {"png",  "jpg",  "jpeg",
                                                              "heic", "tiff", "webp"};
constexpr std::array<std::string_view, 1> kPdfExtensions = {"pdf"};

bool contains(const auto& set, std::string_view value) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

}  // namespace

std::string_view pathExtension(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  const std::string_view component =
      slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = component.rfind('.');
  if (dot == std::string_view::npos) return {};
  return component.substr(dot + 1);
}

PathClassification classifyPath(std::string_view path) {
  std::string extension = lowercaseFull(pathExtension(path));
  PathKind kind = PathKind::kUnsupported;
  if (contains(kPdfExtensions, extension)) {
    kind = PathKind::kPdf;
  } else if (contains(kImageExtensions, extension)) {
    kind = PathKind::kImage;
  }
  return {kind, std::move(extension)};
}

}  // namespace sorvi
