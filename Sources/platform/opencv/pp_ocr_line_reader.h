#pragma once

#include <memory>
#include <string>

#include "detection/text_detector.h"

namespace sorvi {

// The PP-OCR line recogniser, run by OpenCV's DNN module on one thread.
// `modelDir` holds the recogniser rewritten for OpenCV at fixed input widths
// (rec_<width>.onnx) and its character list (ppocr_keys_v1.txt). A line is
// read by the narrowest recogniser that holds it at the recogniser's height,
// each loaded on its first use; a longer line by the widest, in overlapping
// windows. Releasing its memory unloads the recognisers (over 100 MB when all
// are loaded), each loaded again on its next use.
std::unique_ptr<LineReader> makePpOcrLineReader(std::string modelDir);

}  // namespace sorvi
