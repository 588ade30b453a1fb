#include "pdf/process_pdf.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "pdf/page_pixel_size.h"
#include "text/unicode_text.h"

namespace sorvi {

int pagesToRead(PdfDocument& document) { return std::min(document.pageCount(), kPdfPageLimit); }

std::optional<RecognitionOutcome> recognizePdfPage(PdfDocument& document, int index,
                                                   Recognizer& recognizer) {
  const std::optional<PageGeometry> geometry = document.pageGeometry(index);
  if (!geometry) return std::nullopt;
  const std::optional<PixelSize> size = pagePixelSize(*geometry, kPdfRenderScale);
  if (!size) return std::nullopt;
  std::shared_ptr<const RasterImage> image = document.renderPage(index, kPdfRenderScale, *size);
  if (!image) return std::nullopt;
  return recognizer.ocrImage(std::move(image));
}

void outputPdfPages(const std::string& path,
                    const std::vector<std::optional<RecognitionOutcome>>& pages, Output& output) {
  std::string text;
  double confidenceSum = 0.0;
  std::int64_t contributingPages = 0;
  for (const std::optional<RecognitionOutcome>& page : pages) {
    if (!page || !page->text || page->text->empty()) continue;
    text += *page->text;
    text += '\n';
    confidenceSum += page->confidence.value_or(0.0);
    ++contributingPages;
  }

  std::string trimmed = trimWhitespaceAndNewlines(text);
  if (trimmed.empty()) {
    output.outputResult(path, std::nullopt, std::nullopt, std::nullopt);
    return;
  }
  const double confidence = confidenceSum / static_cast<double>(contributingPages);
  output.outputResult(path, std::move(trimmed), confidence, std::nullopt);
}

void processPdf(const std::string& path, PdfOpener& opener, Recognizer& recognizer,
                Output& output) {
  const std::unique_ptr<PdfDocument> document = opener.open(path);
  if (!document) {
    output.outputError(path, kCouldNotLoadPdf);
    return;
  }
  const int pages = pagesToRead(*document);
  std::vector<std::optional<RecognitionOutcome>> outcomes;
  outcomes.reserve(static_cast<size_t>(pages));
  for (int index = 0; index < pages; ++index) {
    outcomes.push_back(recognizePdfPage(*document, index, recognizer));
  }
  outputPdfPages(path, outcomes, output);
}

}  // namespace sorvi
