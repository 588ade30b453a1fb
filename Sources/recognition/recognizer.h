#pragma once

#include <memory>
#include <optional>
#include <string>

#include "recognition/raster_image.h"

namespace sorvi {

// Text and mean confidence of one image: both present or both absent.
struct RecognitionOutcome {
  std::optional<std::string> text;
  std::optional<double> confidence;
};

// Turns one raster image into a recognition outcome, within a time limit.
// Never throws; every failure is the outcome with both values absent. The
// image is shared because an abandoned recognition may outlive the call.
class Recognizer {
 public:
  virtual ~Recognizer() = default;
  virtual RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) = 0;
};

}  // namespace sorvi
