#include "detection/detecting_engine.h"

#include <utility>

#include "detection/scene_reading.h"

namespace sorvi {

DetectingEngine::DetectingEngine(std::unique_ptr<TextEngine> page,
                                 std::unique_ptr<TextDetector> detector,
                                 std::unique_ptr<LineReader> lineReader)
    : page_(std::move(page)), detector_(std::move(detector)), lineReader_(std::move(lineReader)) {}

EngineOutput DetectingEngine::recognize(const RasterImage& image,
                                        const std::atomic<bool>& abandoned) {
  return page_->recognize(image, abandoned);
}

std::optional<int> DetectingEngine::uprightQuarterTurns(const RasterImage& image,
                                                        const std::atomic<bool>& abandoned) {
  return page_->uprightQuarterTurns(image, abandoned);
}

std::optional<EngineOutput> DetectingEngine::readDetectedText(const RasterImage& image,
                                                              const std::atomic<bool>& abandoned) {
  return readDetectedLines(*detector_, *lineReader_, image, abandoned);
}

}  // namespace sorvi
