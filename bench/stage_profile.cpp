// Reads image files as the tool's workers do, with every stage timed, and
// prints one JSON line per file: seconds and calls of decoding, the paper
// gate (how the image looks), the page engine, orientation, the detector and the line reader, and
// the whole reading. bench/stage_profile.sh sums them per class of image.
//
//   sorvi_stage_profile [--models DIR] IMAGE...

#include <atomic>
#include <chrono>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "detection/detecting_engine.h"
#include "platform/images/image_file_source.h"
#include "platform/opencv/opencv_setup.h"
#include "platform/opencv/opencv_text_detector.h"
#include "platform/opencv/pp_ocr_line_reader.h"
#include "platform/tesseract/tesseract_engine.h"
#include "recognition/image_look.h"
#include "recognition/image_reading.h"
#include "recognition/upright_reading.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Stage {
  int calls = 0;
  double seconds = 0;
};
using Stages = std::map<std::string, Stage>;

// Times `work` as one call of the stage `name`.
template <typename Work>
auto timed(Stages& stages, const std::string& name, Work&& work) {
  const auto start = Clock::now();
  struct Count {
    Stage& stage;
    Clock::time_point start;
    ~Count() {
      ++stage.calls;
      stage.seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
  } count{stages[name], start};
  return work();
}

class TimedPageEngine : public sorvi::TextEngine {
 public:
  TimedPageEngine(std::unique_ptr<sorvi::TextEngine> inner, Stages& stages)
      : inner_(std::move(inner)), stages_(stages) {}
  sorvi::EngineOutput recognize(const sorvi::RasterImage& image,
                                const std::atomic<bool>& abandoned) override {
    sorvi::EngineOutput output =
        timed(stages_, "page", [&] { return inner_->recognize(image, abandoned); });
    yields.push_back(sorvi::readingYield(output));
    return output;
  }
  std::vector<sorvi::ReadingYield> yields;  // of each page reading since the last clear
  std::optional<int> uprightQuarterTurns(const sorvi::RasterImage& image,
                                         const std::atomic<bool>& abandoned) override {
    return timed(stages_, "orientation",
                 [&] { return inner_->uprightQuarterTurns(image, abandoned); });
  }

 private:
  std::unique_ptr<sorvi::TextEngine> inner_;
  Stages& stages_;
};

class TimedDetector : public sorvi::TextDetector {
 public:
  TimedDetector(std::unique_ptr<sorvi::TextDetector> inner, Stages& stages)
      : inner_(std::move(inner)), stages_(stages) {}
  std::optional<std::vector<sorvi::TextBox>> detect(const sorvi::RasterImage& image,
                                                    const std::atomic<bool>& abandoned) override {
    return timed(stages_, "detector", [&] { return inner_->detect(image, abandoned); });
  }
  // Its time counts to the stage, not as a call.
  void releaseMemory() override {
    const auto start = Clock::now();
    inner_->releaseMemory();
    stages_["detector"].seconds += std::chrono::duration<double>(Clock::now() - start).count();
  }

 private:
  std::unique_ptr<sorvi::TextDetector> inner_;
  Stages& stages_;
};

class TimedLineReader : public sorvi::LineReader {
 public:
  TimedLineReader(std::unique_ptr<sorvi::LineReader> inner, Stages& stages)
      : inner_(std::move(inner)), stages_(stages) {}
  // Each line counts as a call.
  std::vector<std::optional<sorvi::LineReading>> read(const sorvi::RasterImage& image,
                                                      const std::vector<sorvi::TextBox>& boxes,
                                                      const std::atomic<bool>& abandoned) override {
    stages_["lines"].calls += static_cast<int>(boxes.size()) - 1;
    return timed(stages_, "lines", [&] { return inner_->read(image, boxes, abandoned); });
  }
  // Its time counts to the stage, not as a call.
  void releaseMemory() override {
    const auto start = Clock::now();
    inner_->releaseMemory();
    stages_["lines"].seconds += std::chrono::duration<double>(Clock::now() - start).count();
  }

 private:
  std::unique_ptr<sorvi::LineReader> inner_;
  Stages& stages_;
};

}  // namespace

int main(int argc, char** argv) try {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string models = SORVI_MODEL_DIR;
  if (args.size() >= 2 && args[0] == "--models") {
    models = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  sorvi::initialiseImageLibraries();
  sorvi::setUpOpenCv();
  Stages stages;
  auto page = std::make_unique<TimedPageEngine>(sorvi::makeTesseractEngine(), stages);
  TimedPageEngine& pageEngine = *page;
  sorvi::DetectingEngine engine(
      std::move(page),
      std::make_unique<TimedDetector>(sorvi::makeOpenCvTextDetector(models + "/det.onnx"), stages),
      std::make_unique<TimedLineReader>(sorvi::makePpOcrLineReader(models), stages));
  const std::atomic<bool> abandoned = false;
  for (const std::string& path : args) {
    stages.clear();
    pageEngine.yields.clear();
    nlohmann::json record{{"path", path}};
    const auto start = Clock::now();
    const auto image = timed(stages, "decode", [&] { return sorvi::decodeImageFile(path); });
    if (image) {
      timed(stages, "look", [&] { return sorvi::lookAt(*image); });
      const sorvi::RecognitionOutcome outcome =
          sorvi::readImage(engine, *image, abandoned, [](const sorvi::RecognitionOutcome&) {});
      record["characters"] = outcome.text ? outcome.text->size() : 0;
    }
    for (const sorvi::ReadingYield& yield : pageEngine.yields) {
      record["page_yields"].push_back({yield.characters, yield.trustedCharacters});
    }
    record["total"] = std::chrono::duration<double>(Clock::now() - start).count();
    for (const auto& [name, stage] : stages) {
      record[name] = {{"calls", stage.calls}, {"seconds", stage.seconds}};
    }
    std::cout << record.dump() << std::endl;
  }
  return 0;
} catch (const std::exception& error) {
  std::cerr << error.what() << '\n';
  return 1;
}
