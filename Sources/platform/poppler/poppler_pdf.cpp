#include "platform/poppler/poppler_pdf.h"

#include <sys/stat.h>

#include <cstring>
#include <mutex>

#include <Error.h>
#include <GlobalParams.h>
#include <Object.h>
#include <PDFDoc.h>
#include <Page.h>
#include <SplashOutputDev.h>
#include <XRef.h>
#include <goo/GooString.h>
#include <goo/gfile.h>
#include <splash/SplashBitmap.h>

#include "platform/poppler/poppler_content_budget.h"
#include "platform/poppler/poppler_deadline_stream.h"

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

// Opening takes milliseconds, or a few seconds for a large damaged file
// whose cross-reference table must be rebuilt; a third of the supervisor's
// bound on the step leaves room for that.
constexpr std::chrono::seconds kOpenTimeLimit{10};

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
      if (!admitPageContent(doc_->getXRef(), *page, deadline, admitted_)) return nullptr;
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
