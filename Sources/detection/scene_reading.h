#pragma once

#include <atomic>
#include <vector>

#include "detection/text_detector.h"
#include "recognition/text_engine.h"

namespace sorvi {

// Reads each of `lines` on `image` with `reader`, in the order given: one
// observation per line, an unreadable line as an observation without a
// candidate. Fails when the work is abandoned.
EngineOutput readLines(LineReader& reader, const RasterImage& image,
                       const std::vector<TextBox>& lines, const std::atomic<bool>& abandoned);

}  // namespace sorvi
