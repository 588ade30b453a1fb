#pragma once

#include <chrono>

#include "pdf/pdf_document.h"

namespace sorvi {

// Opens PDF files with poppler and draws their pages with its Splash
// renderer. The only place that sees poppler.
class PopplerPdfOpener : public PdfOpener {
 public:
  // Drawing one page stops after `renderTimeLimit`; that page is then skipped.
  explicit PopplerPdfOpener(std::chrono::milliseconds renderTimeLimit = std::chrono::seconds(30))
      : renderTimeLimit_(renderTimeLimit) {}

  std::unique_ptr<PdfDocument> open(const std::string& path) override;

 private:
  std::chrono::milliseconds renderTimeLimit_;
};

}  // namespace sorvi
