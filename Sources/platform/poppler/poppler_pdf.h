#pragma once

#include <chrono>

#include "pdf/pdf_document.h"

namespace sorvi {

// Sets up poppler's process-wide state and mutes its messages. Idempotent;
// the opener calls it too, so calling it early is only a matter of when.
void preparePoppler();

// Opens PDF files with poppler and draws their pages with its Splash
// renderer. The only place that sees poppler.
class PopplerPdfOpener : public PdfOpener {
 public:
  // Drawing one page stops after `renderTimeLimit`; that page is then
  // skipped. The default stays under the supervisor's bound on a render
  // step, so a slow page costs only itself, not the whole document.
  explicit PopplerPdfOpener(std::chrono::milliseconds renderTimeLimit = std::chrono::seconds(20))
      : renderTimeLimit_(renderTimeLimit) {}

  std::unique_ptr<PdfDocument> open(const std::string& path) override;

 private:
  std::chrono::milliseconds renderTimeLimit_;
};

}  // namespace sorvi
