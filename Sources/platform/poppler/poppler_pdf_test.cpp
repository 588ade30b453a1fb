#include "platform/poppler/poppler_pdf.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

std::string fixture(const std::string& name) { return SORVI_PDF_FIXTURES "/" + name; }

bool isBlack(const RasterImage& image, int x, int y) {
  const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
  return p[0] < 64 && p[1] < 64 && p[2] < 64;
}

// Draws a page, checking the bitmap is opaque and exactly `size`.
std::shared_ptr<const RasterImage> render(PdfDocument& document, int index, PixelSize size) {
  auto image = document.renderPage(index, 2.0, size);
  if (image) {
    EXPECT_EQ(image->width, size.width);
    EXPECT_EQ(image->rgba.size(), image->stride() * size.height);
    for (size_t i = 3; i < image->rgba.size(); i += 4) {
      if (image->rgba[i] != 255) {
        ADD_FAILURE() << "transparent pixel";
        break;
      }
    }
  }
  return image;
}

TEST(PopplerPdf, ReportsMediaBoxesAndTurnsOfPages) {
  const auto document = PopplerPdfOpener().open(fixture("geometry.pdf"));
  ASSERT_TRUE(document);
  EXPECT_EQ(document->pageCount(), 4);
  // Boxes as stored, /Rotate as clockwise quarter turns 0 to 3.
  const PageGeometry expected[] = {{{0, 0, 100.6, 200.3}, 0},
                                   {{-10, 20.5, 100, 199.5}, 1},
                                   {{0, 0, 612, 792}, 3},
                                   {{0, 0, 612, 792}, 1}};
  for (int i = 0; i < 4; ++i) {
    const auto page = document->pageGeometry(i);
    ASSERT_TRUE(page);
    const auto& [box, turns] = expected[i];
    EXPECT_TRUE(page->mediaBox.x == box.x && page->mediaBox.y == box.y &&
                std::abs(page->mediaBox.width - box.width) < 1e-9 &&
                std::abs(page->mediaBox.height - box.height) < 1e-9)
        << i;
    EXPECT_EQ(page->quarterTurns, turns) << i;
  }
  EXPECT_EQ(document->pageGeometry(4), std::nullopt);
  EXPECT_EQ(document->pageGeometry(-1), std::nullopt);
  EXPECT_EQ(document->renderPage(4, 2.0, {10, 10}), nullptr);
}

TEST(PopplerPdf, TurnsPagesUprightAsAViewerShowsThem) {
  const auto document = PopplerPdfOpener().open(fixture("turns.pdf"));
  ASSERT_TRUE(document);
  // Where the black top-left quarter of the 100 x 200 page lands: a corner
  // of each bitmap, the opposite corner staying white.
  const struct {
    PixelSize size;
    int markX, markY;
  } expected[] = {{{200, 400}, 50, 100},   // upright
                  {{400, 200}, 300, 50},   // a quarter turn clockwise: top right
                  {{200, 400}, 150, 300},  // half a turn: bottom right
                  {{400, 200}, 100, 150},  // three quarters: bottom left
                  {{400, 200}, 300, 50}};  // inherited from the page tree
  for (int index = 0; index < 5; ++index) {
    const auto& e = expected[index];
    const auto image = render(*document, index, e.size);
    ASSERT_TRUE(image) << index;
    EXPECT_TRUE(isBlack(*image, e.markX, e.markY)) << index;
    EXPECT_FALSE(isBlack(*image, e.size.width - 1 - e.markX, e.size.height - 1 - e.markY)) << index;
  }
}

TEST(PopplerPdf, PageThatDrawsTooLongIsDropped) {
  const auto rushed = PopplerPdfOpener(std::chrono::milliseconds(0)).open(fixture("heavy.pdf"));
  ASSERT_TRUE(rushed);
  EXPECT_EQ(rushed->renderPage(0, 2.0, {1224, 1584}), nullptr);
  const auto document = PopplerPdfOpener().open(fixture("heavy.pdf"));
  ASSERT_TRUE(document);
  EXPECT_TRUE(render(*document, 0, {1224, 1584}));
}

TEST(PopplerPdf, DrawsPagesWhoseFontsUseTheResourcesThatHoldThem) {
  const auto document = PopplerPdfOpener(std::chrono::seconds(5)).open(fixture("type3_loop.pdf"));
  ASSERT_TRUE(document);
  EXPECT_TRUE(render(*document, 0, {200, 100}));
}

TEST(PopplerPdf, FilesThatAreNoReadablePdfDoNotOpen) {
  // A FIFO would block an open for ever while no one writes to it.
  const std::string fifo = testing::TempDir() + "poppler_pdf_test_fifo.pdf";
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path :
       {fixture("no_tree.pdf"), fixture("bad_count.pdf"), fixture("truncated.pdf"),
        fixture("not_a_pdf.pdf"), fixture("encrypted.pdf"), fixture("folder.pdf"), fifo,
        std::string()}) {
    EXPECT_EQ(PopplerPdfOpener().open(path), nullptr) << path;
  }
  std::filesystem::remove(fifo);
  EXPECT_TRUE(PopplerPdfOpener().open(fixture("words.pdf")));
}

}  // namespace
}  // namespace sorvi
