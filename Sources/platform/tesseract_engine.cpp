#include "platform/tesseract_engine.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/openmp_threads.h"
#include "platform/tesseract_lines.h"
#include "platform/tesseract_pixels.h"

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

EngineOutput failure() { return {.failed = true, .results = std::nullopt}; }

bool cancelWhenAbandoned(void* abandoned, int /*words*/) {
  return static_cast<const std::atomic<bool>*>(abandoned)->load();
}

class TesseractEngine : public TextEngine {
 public:
  explicit TesseractEngine(TesseractSettings settings) : settings_(std::move(settings)) {}

  EngineOutput recognize(const RasterImage& image, const std::atomic<bool>& abandoned) override {
    try {
      keepOpenMpOnCallingThread();
      const auto pixels = pixelsOverWhite(image);
      // Loading the model is not interruptible either; skip the rest if the
      // call gave up meanwhile.
      if (!pixels || !ready() || abandoned) {
        return failure();
      }

      api_.SetImage(pixels->bytes.data(), image.width, image.height, pixels->bytesPerPixel,
                    pixels->bytesPerLine);
      tesseract::ETEXT_DESC monitor;
      monitor.cancel = &cancelWhenAbandoned;
      monitor.cancel_this = const_cast<std::atomic<bool>*>(&abandoned);
      if (api_.Recognize(&monitor) != 0 || abandoned) {
        api_.Clear();
        return failure();
      }
      EngineOutput output{.failed = false, .results = readLines()};
      api_.Clear();
      return output;
    } catch (...) {
      api_.Clear();
      return failure();
    }
  }

 private:
  // Loads the model once; a failed load is tried again next time.
  bool ready() {
    if (ready_) {
      return true;
    }
    silenceLibraries();
    // Set before Init too: a model that fails to load is reported before
    // Init applies its own variables.
    api_.SetVariable("debug_file", "/dev/null");
    std::vector<std::string> names{"debug_file"};
    std::vector<std::string> values{"/dev/null"};
    const std::string& language = settings_.language;
    if (api_.Init(tessdataDir(language), language.c_str(), tesseract::OEM_LSTM_ONLY, nullptr, 0,
                  &names, &values, false) != 0) {
      return false;
    }
    api_.SetPageSegMode(static_cast<tesseract::PageSegMode>(settings_.pageSegMode));
    ready_ = true;
    return true;
  }

  std::vector<EngineObservation> readLines() {
    std::vector<EngineObservation> lines;
    const std::unique_ptr<tesseract::ResultIterator> it(api_.GetIterator());
    if (!it || it->Empty(tesseract::RIL_TEXTLINE)) {
      return lines;
    }
    do {
      EngineObservation line;
      line.confidence = it->Confidence(tesseract::RIL_TEXTLINE) / 100.0F;
      const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
      if (text) {
        if (isBlankLine(text.get())) {
          continue;
        }
        line.topCandidate = withoutLineSeparators(text.get());
      }
      lines.push_back(std::move(line));
    } while (it->Next(tesseract::RIL_TEXTLINE));
    return lines;
  }

  TesseractSettings settings_;
  tesseract::TessBaseAPI api_;
  bool ready_ = false;
};

}  // namespace

std::unique_ptr<TextEngine> makeTesseractEngine(TesseractSettings settings) {
  return std::make_unique<TesseractEngine>(std::move(settings));
}

}  // namespace sorvi
