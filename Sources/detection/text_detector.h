#pragma once

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "recognition/raster_image.h"

namespace sorvi {

struct ImagePoint {
  float x = 0.0F;
  float y = 0.0F;
};

// A text line found on an image: its four corners in image pixels, clockwise
// from the top left of the text as it reads, and how sure the detector is.
struct TextBox {
  std::array<ImagePoint, 4> corners;
  float score = 0.0F;
};

// Finds the text lines anywhere on an image (signs, labels, screens,
// receipts), where a page layout analysis finds none.
class TextDetector {
 public:
  virtual ~TextDetector() = default;
  // The lines found, in no particular order; absent when detection failed or
  // `abandoned` became true.
  virtual std::optional<std::vector<TextBox>> detect(const RasterImage& image,
                                                     const std::atomic<bool>& abandoned) = 0;
  // Gives back the buffers the last detection left, for readings that need
  // the room; the next detection takes them again.
  virtual void releaseMemory() {}
};

// One line read: its text and the probability that it is read right.
struct LineReading {
  std::string text;
  float confidence = 0.0F;
};

// Reads the text lines that boxes frame on an image, turned upright.
class LineReader {
 public:
  virtual ~LineReader() = default;
  // One reading per box, in the boxes' order; absent for a line that cannot
  // be read, and for those not read once `abandoned` became true. The order
  // they are read in is the reader's, so that it can group lines alike.
  virtual std::vector<std::optional<LineReading>> read(const RasterImage& image,
                                                       const std::vector<TextBox>& boxes,
                                                       const std::atomic<bool>& abandoned) = 0;
  // Gives back the memory reading lines took (models, buffers), for the
  // readings of the next image; the next line takes it again.
  virtual void releaseMemory() {}

  std::optional<LineReading> readLine(const RasterImage& image, const TextBox& box,
                                      const std::atomic<bool>& abandoned) {
    std::vector<std::optional<LineReading>> readings = read(image, {box}, abandoned);
    return readings.empty() ? std::nullopt : std::move(readings.front());
  }
};

}  // namespace sorvi
