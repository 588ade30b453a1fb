#pragma once

#include <memory>
#include <optional>
#include <string>

#include "recognition/raster_image.h"

namespace sorvi {

// A rectangle in PDF page units (1/72 inch), origin at its lower-left corner.
struct PdfRect {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
};

// What is needed to size a page's bitmap: its media box and how many
// quarter turns clockwise a viewer turns it (0 to 3).
struct PageGeometry {
  PdfRect mediaBox;
  int quarterTurns = 0;
};

struct PixelSize {
  int width = 0;
  int height = 0;
};

// One open PDF document. Pages are counted from 0. No call throws.
class PdfDocument {
 public:
  virtual ~PdfDocument() = default;

  // Never negative.
  virtual int pageCount() = 0;

  // None when the page cannot be fetched.
  virtual std::optional<PageGeometry> pageGeometry(int index) = 0;

  // Draws the page's whole media box, upright as a viewer shows it, scaled by
  // `scale`, onto an opaque white bitmap of exactly `size` pixels. Null when
  // the page cannot be drawn (no memory, too slow, broken content).
  virtual std::shared_ptr<const RasterImage> renderPage(int index, double scale,
                                                        PixelSize size) = 0;
};

// Opens PDF files. No call throws.
class PdfOpener {
 public:
  virtual ~PdfOpener() = default;

  // None when the file is missing, unreadable, not a PDF, damaged beyond
  // repair or locked by a password.
  virtual std::unique_ptr<PdfDocument> open(const std::string& path) = 0;
};

}  // namespace sorvi
