#include "platform/tesseract/tesseract_engine.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <cmath>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/tesseract/openmp_threads.h"
#include "platform/tesseract/tesseract_lines.h"
#include "platform/tesseract/tesseract_pixels.h"

namespace sorvi {
namespace {

// Where Debian's tesseract-ocr-* packages put the models.
constexpr const char* kDebianTessdata = "/usr/share/tesseract-ocr/5/tessdata";

void silenceLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    setMsgSeverity(L_SEVERITY_NONE);
    leptSetStderrHandler([](const char*) {});
  });
}

// Debian's path when the model is there, else the library's own default
// (which also honours TESSDATA_PREFIX).
const char* tessdataDir(const std::string& language) {
  std::error_code error;
  const std::string model = std::string(kDebianTessdata) + "/" + language + ".traineddata";
  return std::filesystem::exists(model, error) ? kDebianTessdata : nullptr;
}

// Where the engine's image lies in ours.
struct PixelOffset {
  int x = 0;
  int y = 0;
};

EngineOutput failure() { return {.failed = true, .results = std::nullopt}; }

bool cancelWhenAbandoned(void* abandoned, int /*words*/) {
  return static_cast<const std::atomic<bool>*>(abandoned)->load();
}

// Below this the orientation detector's vote is little better than a guess
// (it gives 8 to 11 on a clean page turned any way, under 1 on noise).
constexpr float kMinimumOrientationConfidence = 2.0F;

// Loads `language` into `api`; false when the model cannot be loaded.
bool loadModel(tesseract::TessBaseAPI& api, const std::string& language,
               tesseract::OcrEngineMode mode) {
  silenceLibraries();
  // Set before Init too: a model that fails to load is reported before
  // Init applies its own variables.
  api.SetVariable("debug_file", "/dev/null");
  std::vector<std::string> names{"debug_file"};
  std::vector<std::string> values{"/dev/null"};
  return api.Init(tessdataDir(language), language.c_str(), mode, nullptr, 0, &names, &values,
                  false) == 0;
}

void setImage(tesseract::TessBaseAPI& api, const RasterImage& image, const EnginePixels& pixels) {
  api.SetImage(pixels.bytes.data(), pixels.width, pixels.height, pixels.bytesPerPixel,
               pixels.bytesPerLine);
  // The engine's own guess stands in when the file states no density.
  if (image.pixelsPerInch && *image.pixelsPerInch >= 1.0 && *image.pixelsPerInch <= 1.0e5) {
    api.SetSourceResolution(static_cast<int>(std::lround(*image.pixelsPerInch)));
  }
}

class TesseractEngine : public TextEngine {
 public:
  explicit TesseractEngine(TesseractSettings settings) : settings_(std::move(settings)) {}

  EngineOutput recognize(const RasterImage& image, const std::atomic<bool>& abandoned) override {
    try {
      keepOpenMpOnCallingThread();
      auto pixels = pixelsOverWhite(image);
      // Loading the model is not interruptible either; skip the rest if the
      // call gave up meanwhile.
      if (!pixels || !ready() || abandoned) {
        return failure();
      }
      if (pixels->blank()) {
        return {.failed = false, .results = std::vector<EngineObservation>{}};
      }

      setImage(api_, image, *pixels);
      const PixelOffset offset{.x = pixels->left, .y = pixels->top};
      // The engine reads its own copy; ours would only add to the peak of a
      // large page's reading.
      pixels.reset();
      tesseract::ETEXT_DESC monitor;
      monitor.cancel = &cancelWhenAbandoned;
      monitor.cancel_this = const_cast<std::atomic<bool>*>(&abandoned);
      if (api_.Recognize(&monitor) != 0 || abandoned) {
        api_.Clear();
        return failure();
      }
      EngineOutput output{.failed = false, .results = readLines(offset)};
      api_.Clear();
      return output;
    } catch (...) {
      api_.Clear();
      return failure();
    }
  }

  std::optional<int> uprightQuarterTurns(const RasterImage& image,
                                         const std::atomic<bool>& abandoned) override {
    try {
      auto pixels = pixelsOverWhite(image);
      // Detection cannot be interrupted; it is skipped when the call gave up.
      if (!pixels || pixels->blank() || !orientationReady() || abandoned) {
        return std::nullopt;
      }
      setImage(osd_, image, *pixels);
      pixels.reset();
      int clockwiseDegrees = 0;
      float confidence = 0.0F;
      const char* script = nullptr;
      float scriptConfidence = 0.0F;
      const bool found =
          osd_.DetectOrientationScript(&clockwiseDegrees, &confidence, &script, &scriptConfidence);
      osd_.Clear();
      if (!found || !(confidence >= kMinimumOrientationConfidence) || clockwiseDegrees % 90 != 0) {
        return std::nullopt;
      }
      // The detector names the turn the image has; undoing it takes the rest
      // of the full circle.
      return ((360 - clockwiseDegrees % 360) % 360) / 90;
    } catch (...) {
      osd_.Clear();
      return std::nullopt;
    }
  }

 private:
  // Loads the model once; a failed load is tried again next time.
  bool ready() {
    if (!ready_ && loadModel(api_, settings_.language, tesseract::OEM_LSTM_ONLY)) {
      api_.SetPageSegMode(static_cast<tesseract::PageSegMode>(settings_.pageSegMode));
      ready_ = true;
    }
    return ready_;
  }

  // The orientation model, loaded on the first image that needs it.
  bool orientationReady() {
    if (!orientationReady_ && loadModel(osd_, "osd", tesseract::OEM_TESSERACT_ONLY)) {
      osd_.SetPageSegMode(tesseract::PSM_OSD_ONLY);
      orientationReady_ = true;
    }
    return orientationReady_;
  }

  // One pass over the words, left to right as the model's scripts read.
  // Asking the engine for each line's text and confidence instead walks the
  // page from its start for every line, a twentieth of a dense page's time.
  std::vector<EngineObservation> readLines(PixelOffset offset) {
    std::vector<EngineObservation> lines;
    const std::unique_ptr<tesseract::ResultIterator> first(api_.GetIterator());
    if (!first || first->Empty(tesseract::RIL_WORD)) {
      return lines;
    }
    tesseract::LTRResultIterator word(*first);
    std::optional<tesseract::LTRResultIterator> lineStart;
    TextLineWords line;
    std::vector<EngineWord> words;
    const auto endLine = [&] {
      if (!lineStart || isBlankLine(line.text())) return;
      // A word the engine scored below zero was clipped to zero: only the
      // engine's own mean over the line is then right.
      const std::optional<float> mean = line.meanConfidence();
      const float confidence = mean ? *mean : lineStart->Confidence(tesseract::RIL_TEXTLINE);
      lines.push_back({.isText = true,
                       .confidence = confidence / 100.0F,
                       .topCandidate = line.text(),
                       .words = std::move(words)});
    };
    do {
      if (word.IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
        endLine();
        lineStart.emplace(word);
        line = TextLineWords();
        words.clear();
      }
      const std::unique_ptr<char[]> text(word.GetUTF8Text(tesseract::RIL_WORD));
      const float confidence = word.Confidence(tesseract::RIL_WORD);
      line.add(text ? text.get() : "", confidence);
      PixelBox box;
      if (text && !isBlankLine(text.get()) &&
          word.BoundingBox(tesseract::RIL_WORD, &box.left, &box.top, &box.right, &box.bottom)) {
        box = {.left = box.left + offset.x,
               .top = box.top + offset.y,
               .right = box.right + offset.x,
               .bottom = box.bottom + offset.y};
        words.push_back({.text = text.get(), .confidence = confidence / 100.0F, .box = box});
      }
    } while (word.Next(tesseract::RIL_WORD));
    endLine();
    return lines;
  }

  TesseractSettings settings_;
  tesseract::TessBaseAPI api_;
  bool ready_ = false;
  tesseract::TessBaseAPI osd_;
  bool orientationReady_ = false;
};

}  // namespace

std::unique_ptr<TextEngine> makeTesseractEngine(TesseractSettings settings) {
  return std::make_unique<TesseractEngine>(std::move(settings));
}

}  // namespace sorvi
