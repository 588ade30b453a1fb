// PDF files, their first pages walked as before drawing. See README.md.
#include <PDFDoc.h>
#include <Page.h>

#include "fuzz_check.h"
#include "platform/poppler/poppler_content_budget.h"
#include "platform/poppler/poppler_pdf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sorvi::preparePoppler();
  PDFDoc doc(new MemStream(reinterpret_cast<const char*>(data), 0, static_cast<Goffset>(size),
                           Object(objNull)));
  sorvi::AdmittedStreams admitted;
  for (int index = 1; doc.isOk() && index <= std::min(doc.getNumPages(), 4); ++index) {
    Page* page = doc.getPage(index);
    sorvi::RenderDeadline deadline{std::chrono::steady_clock::now() + std::chrono::seconds(1)};
    if (page != nullptr && page->isOk())
      sorvi::admitPageContent(doc.getXRef(), *page, deadline, admitted);
    sorvi::fuzz::check(std::chrono::steady_clock::now() < deadline.end + std::chrono::seconds(1),
                       "walked long past the deadline");
  }
  return 0;
}
