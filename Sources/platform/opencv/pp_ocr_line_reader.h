#pragma once

#include <memory>
#include <string>

#include "detection/text_detector.h"

namespace sorvi {

// The PP-OCR line recogniser, run by OpenCV's DNN module on one thread.
// `modelDir` holds the recogniser rewritten for OpenCV (rec.onnx), which
// reads lines of any width, and its character list (ppocr_keys_v1.txt). The
// lines of one call are read at the input widths `recogniserInputWidths`
// chooses for them; a line longer than the widest is read in overlapping
// windows of it. Releasing its memory unloads the recogniser (about 30 MB),
// loaded again for the next line.
std::unique_ptr<LineReader> makePpOcrLineReader(std::string modelDir);

}  // namespace sorvi
