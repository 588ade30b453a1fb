// Times the PDF page renderer alone: every page of the first 50 drawn as
// the tool draws it, nothing recognised. Prints "<pages> <seconds>".
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "pdf/page_pixel_size.h"
#include "pdf/process_pdf.h"
#include "platform/poppler/poppler_pdf.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <document.pdf>\n", argv[0]);
    return 2;
  }
  sorvi::PopplerPdfOpener opener;
  const auto start = std::chrono::steady_clock::now();
  const auto document = opener.open(argv[1]);
  if (!document) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  int rendered = 0;
  const int pages = std::min(document->pageCount(), sorvi::kPdfPageLimit);
  for (int index = 0; index < pages; ++index) {
    const auto geometry = document->pageGeometry(index);
    if (!geometry) continue;
    const auto size = sorvi::pagePixelSize(*geometry, sorvi::kPdfRenderScale);
    if (size && document->renderPage(index, sorvi::kPdfRenderScale, *size)) ++rendered;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%d %.3f\n", rendered, elapsed.count());
  return 0;
}
