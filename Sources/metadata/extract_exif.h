#pragma once

#include <optional>
#include <string>

#include "metadata/image_properties.h"
#include "output/ocr_result.h"

namespace sorvi {

// The capture date and GPS position of image 0, or absent when its
// properties hold neither. Never fails: a missing entry, or one of another
// kind than expected, only leaves its fact out.
std::optional<ExifData> extractExif(const std::optional<ImageProperties>& properties);

// "%.6f,%.6f" of the two numbers, with a full stop whatever the locale.
std::string formatPosition(double latitude, double longitude);

}  // namespace sorvi
