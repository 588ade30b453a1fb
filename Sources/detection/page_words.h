#pragma once

#include <optional>
#include <vector>

#include "detection/text_detector.h"
#include "recognition/text_engine.h"

namespace sorvi {

// The words of a page reading, of every text observation.
std::vector<EngineWord> pageWords(const EngineOutput& page);

// The detected line `box` as the page reading read it: the words whose
// centres lie in the box, in the order the line reads, when every one of them
// was read with confidence and together they span most of the line. Their
// mean confidence is the line's. Absent otherwise: the line is worth reading
// on its own.
std::optional<LineReading> lineFromPageWords(const TextBox& box,
                                             const std::vector<EngineWord>& words);

// Every word of the page reading on the line `box`, however doubtful, in the
// order the line reads, with their mean confidence: the reading of a line
// there is no room left to read again. Absent when the page read none there.
std::optional<LineReading> pageWordsOnLine(const TextBox& box,
                                           const std::vector<EngineWord>& words);

}  // namespace sorvi
