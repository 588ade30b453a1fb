#pragma once

#include <memory>
#include <optional>
#include <string>

#include "output/output.h"
#include "pdf/pdf_document.h"
#include "recognition/engine_recognizer.h"
#include "workers/step_observer.h"

namespace sorvi {

// The units of work a worker process does, in this process.
class WorkerUnits {
 public:
  // `observer`, when given, hears of each long step as it starts. The text
  // detector and line reader load their models from `textModels`; without
  // them images are read as pages only.
  explicit WorkerUnits(StepObserver* observer = nullptr, std::string textModels = {});

  // Loads what the units need up front, before the sandbox closes the ways
  // to load it later.
  static void loadLibraries();

  // One image path: prints its record.
  void processImage(const std::string& path, Output& output);
  // How many pages of the PDF are read; none when it cannot be opened.
  std::optional<int> countPages(const std::string& path);
  // One page of a PDF; none when the page is skipped.
  std::optional<RecognitionOutcome> recognizePage(const std::string& path, int index);

  // Returns once no abandoned recognition runs any more, so a finished unit
  // leaves no work behind.
  void waitForAbandoned();

 private:
  PdfDocument* document(const std::string& path);
  EngineRecognizer& recognizer();

  StepObserver* observer_;
  std::string textModels_;
  std::unique_ptr<EngineRecognizer> recognizer_;
  // The last PDF opened, kept for its next pages.
  std::string documentPath_;
  std::unique_ptr<PdfDocument> document_;
};

}  // namespace sorvi
