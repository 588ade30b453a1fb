#pragma once

#include <string>
#include <string_view>

namespace sorvi {

enum class PathKind { kPdf, kImage, kUnsupported };

struct PathClassification {
  PathKind kind;
  std::string extension;  // lower-cased; empty when the name has none
};

// The text after the last dot of the last path component, or empty. A
// trailing slash does not start a new component.
std::string_view pathExtension(std::string_view path);

// Decides by the lower-cased extension alone; the file is not looked at.
PathClassification classifyPath(std::string_view path);

}  // namespace sorvi
