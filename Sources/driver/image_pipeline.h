#pragma once

#include <string>

#include "driver/image_source.h"
#include "driver/step_observer.h"
#include "output/output.h"
#include "recognition/recognizer.h"

namespace sorvi {

inline constexpr std::string_view kImageLoadFailure = "Could not load image";

// Decodes image 0 of the file at `path`, reads its capture date and position,
// recognises its text and prints exactly one record: the result, or the load
// failure when the file cannot be opened or decoded. `steps`, when given,
// hears when recognition starts.
void processImage(const std::string& path, ImageSourceOpener& opener, Recognizer& recognizer,
                  Output& output, StepObserver* steps = nullptr);

}  // namespace sorvi
