#pragma once

#include <string>
#include <string_view>

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

}  // namespace sorvi
