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
// windows.
class PpOcrLineReader : public LineReader {
 public:
  // Unloads the recognisers, each loaded again on its next use: they hold
  // over 100 MB that the detector can use meanwhile.
  virtual void unloadRecognisers() = 0;
};

std::unique_ptr<PpOcrLineReader> makePpOcrLineReader(std::string modelDir);

}  // namespace sorvi
