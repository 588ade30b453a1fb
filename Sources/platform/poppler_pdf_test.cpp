#include "platform/poppler_pdf.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

struct TestPage {
  std::string mediaBox = "0 0 612 792";
  std::string content;
  std::string extra;  // more entries of the page dictionary
};

// Writes a PDF of `pages` with a correct cross-reference table.
std::string writePdf(const std::string& name, const std::vector<TestPage>& pages,
                     const std::string& treeExtra = "") {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
  std::string kids;
  for (const TestPage& page : pages) {
    objects.push_back("<< /Length " + std::to_string(page.content.size()) + " >>\nstream\n" +
                      page.content + "\nendstream");
    const size_t contents = objects.size();
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [" + page.mediaBox + "] /Contents " +
                      std::to_string(contents) + " 0 R /Resources << >> " + page.extra + " >>");
    kids += std::to_string(objects.size()) + " 0 R ";
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " " +
               treeExtra + " >>";

  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";

  std::string path = testing::TempDir() + "poppler_pdf_test_" + name;
  std::ofstream(path, std::ios::binary) << pdf;
  return path;
}

// A black rectangle in page units.
std::string blackRect(double x, double y, double width, double height) {
  std::ostringstream ops;
  ops << "0 0 0 rg " << x << ' ' << y << ' ' << width << ' ' << height << " re f\n";
  return ops.str();
}

bool isBlack(const RasterImage& image, int x, int y) {
  const size_t at = (static_cast<size_t>(y) * image.width + x) * 4;
  return image.rgba[at] < 64 && image.rgba[at + 1] < 64 && image.rgba[at + 2] < 64;
}

bool isWhite(const RasterImage& image, int x, int y) {
  const size_t at = (static_cast<size_t>(y) * image.width + x) * 4;
  return image.rgba[at] == 255 && image.rgba[at + 1] == 255 && image.rgba[at + 2] == 255;
}

std::shared_ptr<const RasterImage> render(PdfDocument& document, int index, PixelSize size) {
  auto image = document.renderPage(index, 2.0, size);
  if (image) {
    EXPECT_EQ(image->width, size.width);
    EXPECT_EQ(image->height, size.height);
    EXPECT_EQ(image->rgba.size(), image->stride() * image->height);
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
  const std::string path =
      writePdf("geometry.pdf", {{"0 0 100.6 200.3", "", ""},
                                {"-10 20.5 90 220", "", "/CropBox [0 30 50 60] /Rotate 90"},
                                {"0 0 612 792", "", "/Rotate -90"},
                                {"0 0 612 792", "", "/Rotate 450"}});
  PopplerPdfOpener opener;
  const auto document = opener.open(path);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->pageCount(), 4);

  const auto first = document->pageGeometry(0);
  ASSERT_TRUE(first);
  EXPECT_DOUBLE_EQ(first->mediaBox.width, 100.6);
  EXPECT_DOUBLE_EQ(first->mediaBox.height, 200.3);
  EXPECT_EQ(first->quarterTurns, 0);

  const auto second = document->pageGeometry(1);
  ASSERT_TRUE(second);
  EXPECT_DOUBLE_EQ(second->mediaBox.x, -10);
  EXPECT_DOUBLE_EQ(second->mediaBox.y, 20.5);
  EXPECT_DOUBLE_EQ(second->mediaBox.width, 100);
  EXPECT_DOUBLE_EQ(second->mediaBox.height, 199.5);
  EXPECT_EQ(second->quarterTurns, 1);
  EXPECT_EQ(document->pageGeometry(2)->quarterTurns, 3);
  EXPECT_EQ(document->pageGeometry(3)->quarterTurns, 1);

  EXPECT_EQ(document->pageGeometry(4), std::nullopt);
  EXPECT_EQ(document->pageGeometry(-1), std::nullopt);
  EXPECT_EQ(document->renderPage(4, 2.0, {10, 10}), nullptr);
}

TEST(PopplerPdf, DrawsTheWholeMediaBoxAtExactlyTheGivenSize) {
  // Left half black on an odd-sized page away from the origin, with a crop box
  // that leaves the black half out: the media box is what is drawn.
  const std::string path =
      writePdf("sizes.pdf", {{"100 -50 200.6 150.3", blackRect(100, -50, 50.3, 200.3),
                              "/CropBox [160 -50 200.6 150.3]"}});
  PopplerPdfOpener opener;
  const auto document = opener.open(path);
  ASSERT_TRUE(document);
  const auto image = render(*document, 0, {201, 400});
  ASSERT_TRUE(image);
  EXPECT_TRUE(isBlack(*image, 2, 2));
  EXPECT_TRUE(isBlack(*image, 98, 397));
  EXPECT_TRUE(isWhite(*image, 102, 2));
  EXPECT_TRUE(isWhite(*image, 198, 397));
}

TEST(PopplerPdf, TurnsPagesUprightAsAViewerShowsThem) {
  // A 100 x 200 page, black in its top-left quarter (in page units).
  const std::string marked = blackRect(0, 100, 50, 100);
  // The page tree says /Rotate 90; the last page takes it, the others say their own.
  const std::string path = writePdf("turns.pdf",
                                    {{"0 0 100 200", marked, "/Rotate 0"},
                                     {"0 0 100 200", marked, "/Rotate 90"},
                                     {"0 0 100 200", marked, "/Rotate 180"},
                                     {"0 0 100 200", marked, "/Rotate 270"},
                                     {"0 0 100 200", marked, ""}},
                                    "/Rotate 90");
  PopplerPdfOpener opener;
  const auto document = opener.open(path);
  ASSERT_TRUE(document);

  // Where the mark lands in the shown page: a corner of each bitmap.
  struct Expectation {
    PixelSize size;
    int markX;
    int markY;
  };
  const std::vector<Expectation> expected = {
      {{200, 400}, 50, 100},   // upright
      {{400, 200}, 300, 50},   // a quarter turn clockwise: top right
      {{200, 400}, 150, 300},  // half a turn: bottom right
      {{400, 200}, 100, 150},  // three quarters: bottom left
  };
  for (int index = 0; index < 4; ++index) {
    const Expectation& e = expected[index];
    const auto image = render(*document, index, e.size);
    ASSERT_TRUE(image) << index;
    EXPECT_TRUE(isBlack(*image, e.markX, e.markY)) << index;
    // The opposite corner stays white.
    EXPECT_TRUE(isWhite(*image, e.size.width - 1 - e.markX, e.size.height - 1 - e.markY)) << index;
  }
  EXPECT_EQ(document->pageGeometry(0)->quarterTurns, 0);
  EXPECT_EQ(document->pageGeometry(4)->quarterTurns, 1);
  const auto inherited = render(*document, 4, {400, 200});
  ASSERT_TRUE(inherited);
  EXPECT_TRUE(isBlack(*inherited, 300, 50));
}

TEST(PopplerPdf, PageThatDrawsTooLongIsDropped) {
  std::string heavy;
  for (int i = 0; i < 20000; ++i) heavy += blackRect(i % 600, i % 700, 3, 3);
  const std::string path = writePdf("heavy.pdf", {{"0 0 612 792", heavy, ""}});

  PopplerPdfOpener hurried(std::chrono::milliseconds(0));
  const auto rushed = hurried.open(path);
  ASSERT_TRUE(rushed);
  EXPECT_EQ(rushed->renderPage(0, 2.0, {1224, 1584}), nullptr);

  PopplerPdfOpener patient;
  const auto document = patient.open(path);
  ASSERT_TRUE(document);
  EXPECT_TRUE(render(*document, 0, {1224, 1584}));
}

TEST(PopplerPdf, FilesThatAreNoReadablePdfDoNotOpen) {
  PopplerPdfOpener opener;
  const std::string dir = testing::TempDir();
  EXPECT_EQ(opener.open(dir + "poppler_pdf_test_missing.pdf"), nullptr);
  EXPECT_EQ(opener.open(dir), nullptr);
  EXPECT_EQ(opener.open(""), nullptr);

  const std::string text = dir + "poppler_pdf_test_text.pdf";
  std::ofstream(text) << "plain text, no PDF at all\n";
  EXPECT_EQ(opener.open(text), nullptr);

  const std::string whole = writePdf("whole.pdf", {{"0 0 612 792", blackRect(0, 0, 9, 9), ""}});
  std::ifstream in(whole, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string truncated = dir + "poppler_pdf_test_truncated.pdf";
  std::ofstream(truncated, std::ios::binary) << bytes.substr(0, 40);
  EXPECT_EQ(opener.open(truncated), nullptr);

  // Page trees that are missing, or that list a page poppler cannot count.
  const auto damaged = [&](const std::string& name, const std::string& from,
                           const std::string& to) {
    std::string pdf = bytes;
    pdf.replace(pdf.find(from), from.size(), to);  // same length: offsets stay right
    std::string path = dir + "poppler_pdf_test_" + name;
    std::ofstream(path, std::ios::binary) << pdf;
    return path;
  };
  EXPECT_EQ(opener.open(damaged("no_tree.pdf", "/Pages 2 0 R", "/Pages null ")), nullptr);
  EXPECT_EQ(opener.open(damaged("bad_count.pdf", "/Count 1", "/Count 0")), nullptr);
  EXPECT_TRUE(opener.open(damaged("same.pdf", "/Count 1", "/Count 1")));

  // A FIFO would block an open for ever while no one writes to it.
  const std::string fifo = dir + "poppler_pdf_test_fifo.pdf";
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(opener.open(fifo), nullptr);
  std::filesystem::remove(fifo);
}

TEST(PopplerPdf, DocumentWithoutPagesOpensEmpty) {
  PopplerPdfOpener opener;
  const auto document = opener.open(writePdf("empty.pdf", {}));
  ASSERT_TRUE(document);
  EXPECT_EQ(document->pageCount(), 0);
  EXPECT_EQ(document->pageGeometry(0), std::nullopt);
}

}  // namespace
}  // namespace sorvi
