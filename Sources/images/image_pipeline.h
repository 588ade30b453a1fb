#pragma once

#include <string>

#include "images/image_source.h"
#include "output/output.h"
#include "recognition/recognizer.h"

namespace sorvi {

inline constexpr std::string_view kImageLoadFailure = "Could not load image";

// Decodes image 0 of the file at `path`, reads its capture date and position,
// recognises its text and prints exactly one record: the result, or the load
// failure when the file cannot be opened or decoded.
void processImage(const std::string& path, ImageSourceOpener& opener, Recognizer& recognizer,
                  Output& output);

}  // namespace sorvi
