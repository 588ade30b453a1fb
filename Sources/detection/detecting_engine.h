#pragma once

#include <memory>
#include <vector>

#include "detection/text_detector.h"
#include "recognition/text_engine.h"

namespace sorvi {

// A page engine joined with a text detector and a line reader: pages are
// read by the first, the text of a scene by the other two.
class DetectingEngine : public TextEngine {
 public:
  DetectingEngine(std::unique_ptr<TextEngine> page, std::unique_ptr<TextDetector> detector,
                  std::unique_ptr<LineReader> lineReader);

  EngineOutput recognize(const RasterImage& image, const std::atomic<bool>& abandoned) override;
  std::optional<int> uprightQuarterTurns(const RasterImage& image,
                                         const std::atomic<bool>& abandoned) override;
  std::optional<std::size_t> detectText(const RasterImage& image,
                                        const std::atomic<bool>& abandoned) override;
  EngineOutput readDetectedText(const RasterImage& image, const std::atomic<bool>& abandoned,
                                const EngineOutput& page,
                                const SampleJudge& worthReadingRest) override;

 private:
  std::unique_ptr<TextEngine> page_;
  std::unique_ptr<TextDetector> detector_;
  std::unique_ptr<LineReader> lineReader_;
  std::vector<TextBox> lines_;  // found by the last detection
};

}  // namespace sorvi
