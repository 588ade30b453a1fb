#include "pdf/process_pdf.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "pdf/page_pixel_size.h"
#include "platform/unicode_text.h"

namespace sorvi {

void processPdf(const std::string& path, PdfOpener& opener, Recognizer& recognizer,
                Output& output) {
  const std::unique_ptr<PdfDocument> document = opener.open(path);
  if (!document) {
    output.outputError(path, kCouldNotLoadPdf);
    return;
  }

  std::string text;
  double confidenceSum = 0.0;
  std::int64_t contributingPages = 0;

  const int pages = std::min(document->pageCount(), kPdfPageLimit);
  for (int index = 0; index < pages; ++index) {
    const std::optional<PageGeometry> geometry = document->pageGeometry(index);
    if (!geometry) continue;
    const std::optional<PixelSize> size = pagePixelSize(*geometry, kPdfRenderScale);
    if (!size) continue;
    std::shared_ptr<const RasterImage> image = document->renderPage(index, kPdfRenderScale, *size);
    if (!image) continue;

    const RecognitionOutcome outcome = recognizer.ocrImage(std::move(image));
    if (!outcome.text || outcome.text->empty()) continue;
    text += *outcome.text;
    text += '\n';
    confidenceSum += outcome.confidence.value_or(0.0);
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

}  // namespace sorvi
