#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/output.h"
#include "pdf/pdf_document.h"
#include "recognition/recognizer.h"

namespace sorvi {

inline constexpr std::string_view kCouldNotLoadPdf = "Could not load PDF";
// Only pages 0 to 49 are read; a longer document is read as if it ended there.
inline constexpr int kPdfPageLimit = 50;
// Two pixels per page unit: 144 pixels per inch.
inline constexpr double kPdfRenderScale = 2.0;

// Renders and recognises the document's first pages one at a time and prints
// one record for the whole document: the page texts, each followed by a line
// feed, trimmed, and the mean confidence of the pages that gave text; or the
// load error when the document cannot be opened.
void processPdf(const std::string& path, PdfOpener& opener, Recognizer& recognizer, Output& output);

// How many pages are read: the first kPdfPageLimit of the document.
int pagesToRead(PdfDocument& document);

// Renders and recognises page `index`; none when the page cannot be fetched,
// sized or drawn, which skips it.
std::optional<RecognitionOutcome> recognizePdfPage(PdfDocument& document, int index,
                                                   Recognizer& recognizer);

// Prints the document's one record from its pages' outcomes in page order
// (none for a skipped page).
void outputPdfPages(const std::string& path,
                    const std::vector<std::optional<RecognitionOutcome>>& pages, Output& output);

}  // namespace sorvi
