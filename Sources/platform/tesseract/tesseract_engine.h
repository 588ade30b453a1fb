#pragma once

#include <memory>
#include <string>

#include "recognition/text_engine.h"

namespace sorvi {

struct TesseractSettings {
  std::string language = "eng";
  // Tesseract's page segmentation mode (its PSM number); 3 is automatic
  // layout analysis, which finds text anywhere on the page.
  int pageSegMode = 3;
};

// A Tesseract instance (LSTM engine, dictionary on, English by default) that
// loads its model on its first recognition. Each observation is one text
// line in reading order, with the line's confidence scaled to 0 to 1.
std::unique_ptr<TextEngine> makeTesseractEngine(TesseractSettings settings = {});

}  // namespace sorvi
