#pragma once

#include <chrono>
#include <map>
#include <set>

#include <Object.h>

class Page;
class XRef;

namespace sorvi {

struct RenderDeadline {
  std::chrono::steady_clock::time_point end;
  bool passed = false;
};

// Poppler's abort callback: true, and remembered, once `data`'s end is past.
bool renderDeadlinePassed(void* data);

// What a document's earlier pages found within bounds, carried from page to
// page so shared forms and fonts are not inflated again.
struct AdmittedStreams {
  std::set<Ref> fonts;
  std::map<Ref, long long> contentSizes;  // decoded bytes
};

// Inflates every content stream `page` can run, its fonts' files, and
// checks its images' declared sizes, all within fixed budgets and
// `deadline`. False when the page would hold its drawing too long.
bool admitPageContent(XRef* xref, Page& page, RenderDeadline& deadline, AdmittedStreams& admitted);

}  // namespace sorvi
