#include "detection/detecting_engine.h"

#include <utility>

#include "detection/page_words.h"
#include "detection/reading_order.h"
#include "detection/scene_reading.h"

namespace sorvi {

DetectingEngine::DetectingEngine(std::unique_ptr<TextEngine> page,
                                 std::unique_ptr<TextDetector> detector,
                                 std::unique_ptr<LineReader> lineReader)
    : page_(std::move(page)), detector_(std::move(detector)), lineReader_(std::move(lineReader)) {}

EngineOutput DetectingEngine::recognize(const RasterImage& image,
                                        const std::atomic<bool>& abandoned) {
  // A page reading of a large image needs the room; photos without text,
  // read one after another, keep the detector's buffers.
  detector_->releaseMemory();
  return page_->recognize(image, abandoned);
}

std::optional<int> DetectingEngine::uprightQuarterTurns(const RasterImage& image,
                                                        const std::atomic<bool>& abandoned) {
  return page_->uprightQuarterTurns(image, abandoned);
}

std::optional<std::size_t> DetectingEngine::detectText(const RasterImage& image,
                                                       const std::atomic<bool>& abandoned) {
  lines_.clear();
  std::optional<std::vector<TextBox>> found = detector_->detect(image, abandoned);
  if (!found || abandoned) return std::nullopt;
  lines_ = inReadingOrder(*found);
  return lines_.size();
}

EngineOutput DetectingEngine::readDetectedText(const RasterImage& image,
                                               const std::atomic<bool>& abandoned,
                                               const EngineOutput& page,
                                               const SampleJudge& worthReadingRest) {
  detector_->releaseMemory();
  EngineOutput read =
      readLines(*lineReader_, image, lines_, pageWords(page), abandoned, worthReadingRest);
  // The recognisers are not wanted before the next image's lines, and the
  // readings in between (the detector's, the page engine's) need the room.
  lineReader_->releaseMemory();
  return read;
}

}  // namespace sorvi
