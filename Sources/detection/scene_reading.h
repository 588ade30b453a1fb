#pragma once

#include <atomic>
#include <vector>

#include "detection/text_detector.h"
#include "recognition/text_engine.h"

namespace sorvi {

// Reads each of `lines` on `image`: one observation per line, in the order
// given, an unreadable line as an observation without a candidate. A line
// that `pageWords` read with confidence keeps their reading; the others are
// read by `reader`, as many as a fixed amount of work allows, those without
// any page words first; past it, a line keeps whatever words `pageWords` holds
// on it. Of more than a few lines, a sample spread evenly over them is read
// first and shown to `worthReadingRest`; when it says no, the rest are not
// read and there are no results. Fails when the work is abandoned.
EngineOutput readLines(LineReader& reader, const RasterImage& image,
                       const std::vector<TextBox>& lines, const std::vector<EngineWord>& pageWords,
                       const std::atomic<bool>& abandoned, const SampleJudge& worthReadingRest);

}  // namespace sorvi
