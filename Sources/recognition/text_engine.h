#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recognition/raster_image.h"

namespace sorvi {

// A rectangle on the image, in pixels: left and top inside, right and
// bottom just past it.
struct PixelBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// One word of an observation, where the engine read it.
struct EngineWord {
  std::string text;
  float confidence = 0.0F;  // 0 to 1
  PixelBox box;
};

// One thing the engine found on the image. Only text observations are
// expected; `isText` false stands for an observation of any other kind.
struct EngineObservation {
  bool isText = true;
  float confidence = 0.0F;                  // 0 to 1
  std::optional<std::string> topCandidate;  // the best reading, if any
  std::vector<EngineWord> words;            // its words, when the engine tells them
};

// What one recognition gives: an error, no results at all, or the
// observations in the engine's reading order.
struct EngineOutput {
  bool failed = false;
  std::optional<std::vector<EngineObservation>> results;
};

// Judges, from a sample of the detected lines read (`share` of them all),
// whether the rest are worth reading.
using SampleJudge = std::function<bool(const EngineOutput& sample, double share)>;

// A recognition engine instance. One instance serves one recognition at a
// time; it may be reused for the next image.
class TextEngine {
 public:
  virtual ~TextEngine() = default;
  // Recognises `image`. The engine should stop early, and report a failure,
  // once `abandoned` becomes true: nobody will read the result.
  virtual EngineOutput recognize(const RasterImage& image, const std::atomic<bool>& abandoned) = 0;
  // The clockwise quarter turns (1 to 3) that bring the text of `image`
  // upright; 0 when it is upright, absent when the engine cannot tell.
  virtual std::optional<int> uprightQuarterTurns(const RasterImage& /*image*/,
                                                 const std::atomic<bool>& /*abandoned*/) {
    return std::nullopt;
  }
  // Looks for text lines anywhere on `image` with a text detector (signs,
  // labels, screens: text a page layout analysis misses) and keeps them for
  // readDetectedText. The number of lines found; absent when the engine has
  // no detector or detection failed.
  virtual std::optional<std::size_t> detectText(const RasterImage& /*image*/,
                                                const std::atomic<bool>& /*abandoned*/) {
    return std::nullopt;
  }
  // Reads the lines that the last detectText call found on `image`, one
  // observation per line, in reading order. A line that `page`, a reading
  // of the same image, read with confidence keeps that reading. When there
  // are many lines, a sample spread over them is read first, and unless
  // `worthReadingRest` holds for it the rest are not read and there are no
  // results.
  virtual EngineOutput readDetectedText(const RasterImage& /*image*/,
                                        const std::atomic<bool>& /*abandoned*/,
                                        const EngineOutput& /*page*/,
                                        const SampleJudge& /*worthReadingRest*/) {
    return {.failed = true, .results = std::nullopt};
  }
};

// Makes a new engine instance; may return null when none can be made.
using TextEngineFactory = std::function<std::unique_ptr<TextEngine>()>;

}  // namespace sorvi
