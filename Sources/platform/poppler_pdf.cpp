#include "platform/poppler_pdf.h"

#include <sys/stat.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include <Error.h>
#include <GlobalParams.h>
#include <Object.h>
#include <PDFDoc.h>
#include <Page.h>
#include <SplashOutputDev.h>
#include <Stream.h>
#include <XRef.h>
#include <goo/GooString.h>
#include <goo/gfile.h>
#include <splash/SplashBitmap.h>

namespace sorvi {
namespace {

void ignorePopplerMessage(ErrorCategory /*category*/, Goffset /*pos*/, const char* /*msg*/) {}

int quarterTurns(int rotate) {
  switch (rotate) {
    case 90:
      return 1;
    case 180:
      return 2;
    case 270:
      return 3;
    default:
      return 0;  // poppler draws any other angle unturned
  }
}

struct RenderDeadline {
  std::chrono::steady_clock::time_point end;
  bool passed = false;
};

bool renderDeadlinePassed(void* data) {
  auto* deadline = static_cast<RenderDeadline*>(data);
  if (std::chrono::steady_clock::now() >= deadline->end) deadline->passed = true;
  return deadline->passed;
}

// Opening takes milliseconds, or a few seconds for a large damaged file
// whose cross-reference table must be rebuilt; a third of the supervisor's
// bound on the step leaves room for that.
constexpr std::chrono::seconds kOpenTimeLimit{10};

struct ReadDeadline {
  std::chrono::steady_clock::time_point end = std::chrono::steady_clock::time_point::max();
};

class ReadDeadlineScope {
 public:
  ReadDeadlineScope(ReadDeadline& deadline, std::chrono::steady_clock::time_point end)
      : deadline_(deadline) {
    deadline_.end = end;
  }
  ~ReadDeadlineScope() { deadline_.end = std::chrono::steady_clock::time_point::max(); }
  ReadDeadlineScope(const ReadDeadlineScope&) = delete;
  ReadDeadlineScope& operator=(const ReadDeadlineScope&) = delete;

 private:
  ReadDeadline& deadline_;
};

// Opening a document can inflate streams too (object streams holding the
// catalog or the page tree), and poppler offers no abort there, nor inside
// one drawing operator. The file is read through this stream, which reads as
// ended once the step's time is up: whatever poppler is decoding then ends at
// once, and the document or the page is refused.
class DeadlineFileStream : public FileStream {
 public:
  DeadlineFileStream(GooFile* file, std::shared_ptr<const ReadDeadline> deadline, Goffset start,
                     bool limited, Goffset length, Object&& dict)
      : FileStream(file, start, limited, length, std::move(dict)),
        file_(file),
        deadline_(std::move(deadline)),
        limited_(limited) {}

  BaseStream* copy() override {
    return new DeadlineFileStream(file_, deadline_, getStart(), limited_, length, dict.copy());
  }
  Stream* makeSubStream(Goffset start, bool limited, Goffset length, Object&& dict) override {
    return new DeadlineFileStream(file_, deadline_, start, limited, length, std::move(dict));
  }
  int getChar() override { return expired() ? EOF : FileStream::getChar(); }
  int lookChar() override { return expired() ? EOF : FileStream::lookChar(); }
  int getUnfilteredChar() override { return getChar(); }
  bool hasGetChars() override { return true; }
  int getChars(int count, unsigned char* buffer) override {
    if (expired()) return 0;
    int got = 0;
    for (int c = 0; got < count && (c = FileStream::getChar()) != EOF;) {
      buffer[got++] = static_cast<unsigned char>(c);
    }
    return got;
  }

 private:
  // The clock is read once every few thousand bytes: compressed data comes
  // in a byte at a time, and a few thousand bytes of it inflate to at most a
  // few megabytes. Once past, every read asks again, as the next step's
  // deadline may have replaced this one.
  bool expired() {
    if (!expired_ && reads_++ % 4096 != 0) return false;
    expired_ = std::chrono::steady_clock::now() >= deadline_->end;
    return expired_;
  }

  GooFile* file_;
  std::shared_ptr<const ReadDeadline> deadline_;
  bool limited_;
  unsigned reads_ = 0;
  bool expired_ = false;
};

// poppler's parser reads content streams a byte at a time and checks the
// abort callback only between operators, so a few megabytes of compressed
// zeros that inflate to gigabytes would hold one page for minutes. Every
// content stream a page can run (its contents, forms, tiling patterns, Type 3
// glyphs, annotation appearances) is therefore inflated once beforehand
// under a byte cap. Real pages, even dense maps and drawings, hold tens of
// megabytes of operators; 256 MiB leaves a wide margin. Inflating that much
// takes about three seconds here, parsing it some seven: a stream just under
// the cap still ends well inside the page's drawing bound.
constexpr long long kContentByteBudget = 256LL << 20;
// poppler reads an embedded font file whole into memory. The largest real
// ones, full CJK fonts, are some 20 MiB.
constexpr long long kFontFileBytes = 64LL << 20;
// Splash draws an image at some 40 ns a pixel here whatever the scale, with
// no abort check inside it: 2^28 pixels (a 600 dpi scan of a poster) take
// about ten seconds, half the page's drawing bound.
constexpr long long kImagePixels = 1LL << 28;
constexpr int kMaxResourceDepth = 32;

// Finds the inline images (BI <dictionary> ID <data> EI) in a content
// stream as it is inflated, and whether any declares more pixels than an
// image may. A plain token scan: data that happened to read as an image
// dictionary with huge sides would only cost its page.
// PDF white space and delimiters.
constexpr std::array<bool, 256> kTokenEnds = [] {
  std::array<bool, 256> ends{};
  for (const unsigned char c : std::string_view("/[]<>()%{} \t\n\f\r")) ends[c] = true;
  ends[0] = true;
  return ends;
}();

class InlineImageWatch {
 public:
  // False once an inline image over the bound has been seen.
  bool feed(const unsigned char* bytes, int count) {
    for (int i = 0; i < count; ++i) {
      const unsigned char c = bytes[i];
      if (kTokenEnds[c]) {
        endToken();
        if (c == '/') token_.push_back('/');  // a name starts here
      } else if (token_.size() < 16) {
        token_ += static_cast<char>(c);
      }
    }
    return !oversize_;
  }

 private:
  void endToken() {
    if (token_.empty()) return;
    if (!inDictionary_) {
      if (token_ == "BI") {
        inDictionary_ = true;
        width_ = height_ = 0;
      }
    } else if (token_ == "ID") {
      inDictionary_ = false;
      if (static_cast<long long>(width_) * height_ > kImagePixels) oversize_ = true;
    } else if (token_[0] == '/') {
      key_ = token_;
    } else if (std::isdigit(static_cast<unsigned char>(token_[0])) != 0) {
      const long value = std::strtol(token_.c_str(), nullptr, 10);
      const int side = static_cast<int>(std::min<long>(value, 1L << 30));
      if (key_ == "/W" || key_ == "/Width") width_ = side;
      if (key_ == "/H" || key_ == "/Height") height_ = side;
    }
    token_.clear();
  }

  std::string token_;
  std::string key_;
  bool inDictionary_ = false;
  int width_ = 0;
  int height_ = 0;
  bool oversize_ = false;
};

// What a document's earlier pages found within bounds, carried from page to
// page so shared forms and fonts are not inflated again.
struct AdmittedStreams {
  std::set<Ref> fonts;
  std::map<Ref, long long> contentSizes;  // decoded bytes
};

class ContentBudget {
 public:
  ContentBudget(XRef* xref, RenderDeadline& deadline, AdmittedStreams& admitted)
      : xref_(xref), deadline_(deadline), admitted_(admitted) {}

  bool admitPage(Page& page) {
    if (!admitStreams(page.getContents(), 0)) return false;
    if (!admitResources(page.getResourceDict(), 0)) return false;
    const Object annots = page.getAnnotsObject();
    if (!annots.isArray()) return true;
    for (int i = 0; i < annots.arrayGetLength(); ++i) {
      const Object annot = annots.arrayGet(i);
      if (!annot.isDict()) continue;
      const Object appearances = annot.dictLookup("AP");
      if (!appearances.isDict()) continue;
      // Each appearance is a stream, or a dictionary of streams by state.
      for (int k = 0; k < appearances.dictGetLength(); ++k) {
        if (!admitStreams(appearances.dictGetVal(k), 0)) return false;
      }
    }
    return true;
  }

 private:
  // A content stream, or an array or dictionary of them.
  bool admitStreams(const Object& value, int depth) {
    if (value.isStream()) return admitStream(value, depth, nullptr);
    if (value.isArray()) {
      for (int i = 0; i < value.arrayGetLength(); ++i) {
        if (!admitStreamEntry(value.arrayGetNF(i), depth)) return false;
      }
    } else if (value.isDict()) {
      for (int i = 0; i < value.dictGetLength(); ++i) {
        if (!admitStreamEntry(value.dictGetValNF(i), depth)) return false;
      }
    }
    return true;
  }

  bool admitStreamEntry(const Object& entry, int depth) {
    if (!entry.isRef()) return !entry.isStream() || admitStream(entry, depth, nullptr);
    const Ref ref = entry.getRef();
    if (!seen_.insert(ref).second) return true;
    const Object value = entry.fetch(xref_);
    return !value.isStream() || admitStream(value, depth, &ref);
  }

  bool admitStream(const Object& value, int depth, const Ref* ref) {
    Dict* dict = value.streamGetDict();
    if (dict->lookup("Subtype").isName("Image")) return admitImage(*dict);
    // A form shared by many pages is inflated once; later pages count its size.
    const auto known =
        ref != nullptr ? admitted_.contentSizes.find(*ref) : admitted_.contentSizes.end();
    if (known != admitted_.contentSizes.end()) {
      left_ -= known->second;
      if (left_ < 0) return false;
    } else {
      InlineImageWatch inlineImages;
      const long long before = left_;
      if (!inflateWithin(value.getStream(), left_, &inlineImages)) return false;
      if (ref != nullptr) admitted_.contentSizes.emplace(*ref, before - left_);
    }
    return admitResources(dict->lookup("Resources"), depth + 1);
  }

  // An image is read only as far as its declared size needs, but drawn pixel
  // by pixel over that whole size, whatever its data holds. Each is bounded
  // on its own: pages often share one resource dictionary listing every
  // image of the document, and drawing several is bounded by the deadline.
  static bool admitImage(Dict& image) {
    const Object mask = image.lookup("SMask");
    return declaredPixels(image) <= kImagePixels &&
           (!mask.isStream() || declaredPixels(*mask.streamGetDict()) <= kImagePixels);
  }

  static long long declaredPixels(Dict& image) {
    const Object width = image.lookup("Width");
    const Object height = image.lookup("Height");
    if (!width.isInt() || !height.isInt()) return 0;  // poppler draws no such image
    return std::max(width.getInt(), 0) * static_cast<long long>(std::max(height.getInt(), 0));
  }

  bool admitResources(const Object& resources, int depth) {
    return !resources.isDict() || admitResources(resources.getDict(), depth);
  }

  bool admitResources(Dict* resources, int depth) {
    if (resources == nullptr || depth > kMaxResourceDepth) return true;
    for (const char* key : {"XObject", "Pattern"}) {
      if (!admitStreams(resources->lookup(key), depth)) return false;
    }
    const Object fonts = resources->lookup("Font");
    if (!fonts.isDict()) return true;
    for (int i = 0; i < fonts.dictGetLength(); ++i) {
      const Object font = fonts.dictGetVal(i);
      if (!font.isDict()) continue;
      if (!admitFontFile(font)) return false;
      if (!font.dictLookup("Subtype").isName("Type3")) continue;
      if (!admitStreams(font.dictLookup("CharProcs"), depth) ||
          !admitResources(font.dictLookup("Resources"), depth + 1)) {
        return false;
      }
    }
    return true;
  }

  bool admitFontFile(const Object& font) {
    Object descriptor = font.dictLookup("FontDescriptor");
    if (!descriptor.isDict()) {
      // A composite font keeps its file with its one descendant.
      const Object descendants = font.dictLookup("DescendantFonts");
      if (!descendants.isArray() || descendants.arrayGetLength() < 1) return true;
      const Object descendant = descendants.arrayGet(0);
      if (!descendant.isDict()) return true;
      descriptor = descendant.dictLookup("FontDescriptor");
      if (!descriptor.isDict()) return true;
    }
    for (const char* key : {"FontFile", "FontFile2", "FontFile3"}) {
      // poppler reads a font file only through a reference.
      const Object& file = descriptor.dictLookupNF(key);
      if (!file.isRef() || admitted_.fonts.count(file.getRef()) != 0) continue;
      const Object stream = file.fetch(xref_);
      long long left = kFontFileBytes;
      if (stream.isStream() && !inflateWithin(stream.getStream(), left)) return false;
      admitted_.fonts.insert(file.getRef());
    }
    return true;
  }

  // Reads `stream` to its end, taking its size from `left`; false once that
  // runs out, the page's time is up or `inlineImages` finds one too large.
  bool inflateWithin(Stream* stream, long long& left, InlineImageWatch* inlineImages = nullptr) {
    std::array<unsigned char, std::size_t{64} << 10> buffer{};
    stream->reset();
    bool within = true;
    for (;;) {
      const int got = stream->doGetChars(static_cast<int>(buffer.size()), buffer.data());
      if (got <= 0) break;
      left -= got;
      if (left < 0 || renderDeadlinePassed(&deadline_) ||
          (inlineImages != nullptr && !inlineImages->feed(buffer.data(), got))) {
        within = false;
        break;
      }
    }
    stream->close();
    return within && !renderDeadlinePassed(&deadline_);
  }

  XRef* xref_;
  RenderDeadline& deadline_;
  AdmittedStreams& admitted_;
  long long left_ = kContentByteBudget;
  std::set<Ref> seen_;
};

// Splash's RGB rows into straight-alpha RGBA; the page is opaque.
std::shared_ptr<const RasterImage> toRasterImage(SplashBitmap& bitmap, double dpi) {
  auto image = std::make_shared<RasterImage>();
  image->pixelsPerInch = dpi;
  image->width = bitmap.getWidth();
  image->height = bitmap.getHeight();
  image->rgba.resize(image->stride() * static_cast<size_t>(image->height));
  const unsigned char* row = bitmap.getDataPtr();
  uint8_t* out = image->rgba.data();
  for (int y = 0; y < image->height; ++y, row += bitmap.getRowSize()) {
    for (int x = 0; x < image->width; ++x) {
      std::memcpy(out, row + static_cast<ptrdiff_t>(x) * 3, 3);
      out[3] = 255;
      out += 4;
    }
  }
  return image;
}

// A document without pages is sound only when its page tree says so: a
// tree that is missing, or that lists pages poppler cannot count, is damage.
bool hasSoundPageTree(PDFDoc& doc) {
  if (doc.getNumPages() > 0) return true;
  const Object catalog = doc.getXRef()->getCatalog();
  if (!catalog.isDict()) return false;
  const Object pages = catalog.dictLookup("Pages");
  if (!pages.isDict()) return false;
  const Object kids = pages.dictLookup("Kids");
  return kids.isArray() && kids.arrayGetLength() == 0;
}

class PopplerDocument : public PdfDocument {
 public:
  PopplerDocument(std::unique_ptr<GooFile> file, std::shared_ptr<ReadDeadline> readDeadline,
                  std::unique_ptr<PDFDoc> doc, std::chrono::milliseconds renderTimeLimit)
      : file_(std::move(file)),
        readDeadline_(std::move(readDeadline)),
        doc_(std::move(doc)),
        renderTimeLimit_(renderTimeLimit) {}

  int pageCount() override {
    try {
      return std::max(doc_->getNumPages(), 0);
    } catch (...) {
      return 0;
    }
  }

  std::optional<PageGeometry> pageGeometry(int index) override {
    try {
      Page* page = fetchPage(index);
      if (page == nullptr) return std::nullopt;
      const PDFRectangle* box = page->getMediaBox();
      return PageGeometry{{box->x1, box->y1, box->x2 - box->x1, box->y2 - box->y1},
                          quarterTurns(page->getRotate())};
    } catch (...) {
      return std::nullopt;
    }
  }

  std::shared_ptr<const RasterImage> renderPage(int index, double scale, PixelSize size) override {
    try {
      Page* page = fetchPage(index);
      if (page == nullptr || size.width <= 0 || size.height <= 0) return nullptr;
      RenderDeadline deadline{std::chrono::steady_clock::now() + renderTimeLimit_};
      // The abort callback is not asked inside one operator (an image, a
      // font, a long run of operands); ending the file's reads at the same
      // time ends those too.
      const ReadDeadlineScope reads(*readDeadline_, deadline.end);
      if (!ContentBudget(doc_->getXRef(), deadline, admitted_).admitPage(*page)) return nullptr;
      if (!device_) {
        SplashColor white = {255, 255, 255};
        device_ = std::make_unique<SplashOutputDev>(splashModeRGB8, 4, false, white);
        device_->setFontAntialias(true);
        device_->setVectorAntialias(true);
        device_->startDoc(doc_.get());
      }
      // Drawing a slice of exactly `size` from the media box's top-left corner
      // gives that bitmap size; a whole-page draw would round the sides instead
      // of truncating them.
      const double dpi = 72.0 * scale;
      doc_->displayPageSlice(device_.get(), index + 1, dpi, dpi, /*rotate=*/0,
                             /*useMediaBox=*/true, /*crop=*/false, /*printing=*/false, 0, 0,
                             size.width, size.height, renderDeadlinePassed, &deadline);
      // Taking the bitmap frees it with this page, not with the next one.
      const std::unique_ptr<SplashBitmap> bitmap(device_->takeBitmap());
      // A page whose reads were cut short may look complete: ask the clock.
      if (renderDeadlinePassed(&deadline) || !bitmap || bitmap->getMode() != splashModeRGB8 ||
          bitmap->getDataPtr() == nullptr || bitmap->getWidth() != size.width ||
          bitmap->getHeight() != size.height) {
        return nullptr;  // also when Splash fell back to a tiny bitmap for want of memory
      }
      return toRasterImage(*bitmap, dpi);
    } catch (...) {
      // Out of memory part way through a page: the device may be left in
      // the middle of its drawing state, so the next page gets a fresh one.
      device_.reset();
      return nullptr;
    }
  }

 private:
  Page* fetchPage(int index) {
    if (index < 0 || index >= pageCount()) return nullptr;
    Page* page = doc_->getPage(index + 1);
    return page != nullptr && page->isOk() ? page : nullptr;
  }

  std::unique_ptr<GooFile> file_;  // read by doc_'s streams, so it outlives them
  std::shared_ptr<ReadDeadline> readDeadline_;
  std::unique_ptr<PDFDoc> doc_;
  std::chrono::milliseconds renderTimeLimit_;
  std::unique_ptr<SplashOutputDev> device_;
  AdmittedStreams admitted_;
};

}  // namespace

// poppler keeps its settings and its error hook process-wide: set both once,
// before the first document, so nothing it says reaches standard error.
void preparePoppler() {
  static std::once_flag once;
  std::call_once(once, [] {
    setErrorCallback(ignorePopplerMessage);
    if (!globalParams) globalParams = std::make_unique<GlobalParams>();
    globalParams->setErrQuiet(true);
  });
}

std::unique_ptr<PdfDocument> PopplerPdfOpener::open(const std::string& path) {
  try {
    // Only regular files: opening a FIFO or a device could block for ever.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;

    preparePoppler();
    std::unique_ptr<GooFile> file = GooFile::open(path);
    if (!file) return nullptr;
    auto readDeadline = std::make_shared<ReadDeadline>();
    readDeadline->end = std::chrono::steady_clock::now() + kOpenTimeLimit;
    auto doc = std::make_unique<PDFDoc>(new DeadlineFileStream(
        file.get(), readDeadline, 0, /*limited=*/false, file->size(), Object(objNull)));
    // Unreadable, not a PDF, locked by a password, or its pages lost.
    if (!doc->isOk() || !hasSoundPageTree(*doc)) return nullptr;
    // Reads cut short by the deadline may still leave a document that looks sound.
    if (std::chrono::steady_clock::now() >= readDeadline->end) return nullptr;
    readDeadline->end = std::chrono::steady_clock::time_point::max();
    return std::make_unique<PopplerDocument>(std::move(file), std::move(readDeadline),
                                             std::move(doc), renderTimeLimit_);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace sorvi
