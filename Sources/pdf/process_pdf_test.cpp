#include "pdf/process_pdf.h"

#include <gtest/gtest.h>

#include "output/line_sink.h"

namespace sorvi {
namespace {

struct FakePage {
  std::optional<PageGeometry> geometry = PageGeometry{{0, 0, 300, 400}, 0};
  bool renders = true;
  RecognitionOutcome outcome;
};

FakePage says(std::optional<std::string> text, std::optional<double> confidence) {
  return {.outcome = {std::move(text), confidence}};
}

struct Render {
  int index, width, height;
  double scale;
  bool operator==(const Render&) const = default;
};

// Pages are drawn as 1x1 images whose red byte is their index, so the
// recognizer answers for the page it is shown.
struct FakePdf : PdfOpener, Recognizer {
  struct Document : PdfDocument {
    explicit Document(FakePdf& pdf) : pdf(pdf) {}
    int pageCount() override { return static_cast<int>(pdf.pages.size()); }
    std::optional<PageGeometry> pageGeometry(int i) override { return pdf.pages.at(i).geometry; }
    std::shared_ptr<const RasterImage> renderPage(int i, double scale, PixelSize size) override {
      pdf.renders.push_back({i, size.width, size.height, scale});
      if (!pdf.pages.at(i).renders) return nullptr;
      return std::make_shared<RasterImage>(
          RasterImage{.width = 1, .height = 1, .rgba = {static_cast<uint8_t>(i), 0, 0, 255}});
    }
    FakePdf& pdf;
  };
  std::unique_ptr<PdfDocument> open(const std::string&) override {
    return std::make_unique<Document>(*this);
  }
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) override {
    recognised.push_back(image->rgba[0]);
    return pages.at(image->rgba[0]).outcome;
  }
  std::string run() {
    const JsonEncoder encoder;
    MemoryLineSink sink;
    Output output(encoder, sink);
    processPdf("doc.pdf", *this, *this, output);
    EXPECT_EQ(sink.lines.size(), 1u);
    return sink.lines.at(0);
  }
  std::vector<FakePage> pages;
  std::vector<Render> renders;
  std::vector<int> recognised;
};

TEST(ProcessPdf, TextAndMeanComeFromPagesWithTextAndOnlyTheEndsAreTrimmed) {
  const std::string bare = R"({"path":"doc.pdf"})";
  const std::vector<std::pair<std::vector<FakePage>, std::string>> cases = {
      {{}, bare},
      {{says({}, {}), says("", 0.9), says(" \n\t\u00A0\u2028 ", 0.8), says("\n", 0.7)}, bare},
      {{says("A", 0.5), says({}, {}), says("", 0.1), says("C", 1.0)},
       R"({"path":"doc.pdf","text":"A\nC","confidence":0.75})"},
      // A whitespace-only page still weighs in the mean; inner whitespace stays.
      {{says("\u3000 \n first  ", 0.2), says("  ", 0.4), says("mid \t", 0.6),
        says("last\u0085 \r\n", 0.8)},
       R"({"path":"doc.pdf","text":"first  \n  \nmid \t\nlast","confidence":0.5})"},
      {{says("\u200Bx\n\ny\u200B", 0.25)},  // zero-width space is no white space
       "{\"path\":\"doc.pdf\",\"text\":\"\u200Bx\\n\\ny\u200B\",\"confidence\":0.25}"},
  };
  for (const auto& [pages, line] : cases) {
    FakePdf pdf;
    pdf.pages = pages;
    EXPECT_EQ(pdf.run(), line);
    EXPECT_EQ(pdf.recognised.size(), pages.size());
  }
}

TEST(ProcessPdf, TheFirstFiftyPagesAreDrawnAtTwiceTheirSizeAndFailingPagesSkipped) {
  FakePdf pdf;
  for (int k = 0; k < 60; ++k) pdf.pages.push_back(says(k == 0 ? "one" : "two", 0.5));
  pdf.pages[1].geometry = PageGeometry{{-50.5, 12.25, 100.6, 200.3}, 1};
  pdf.pages[1].renders = false;                               // cannot be drawn
  pdf.pages[2].geometry = std::nullopt;                       // cannot be fetched
  pdf.pages[3].geometry = PageGeometry{{0, 0, 1e9, 1e9}, 0};  // over the memory budget
  std::string text = "one";
  for (int k = 4; k < 50; ++k) text += "\\ntwo";
  EXPECT_EQ(pdf.run(), R"({"path":"doc.pdf","text":")" + text + R"(","confidence":0.5})");
  ASSERT_EQ(pdf.renders.size(), 48u);
  EXPECT_EQ(pdf.renders[0], (Render{0, 600, 800, 2.0}));
  EXPECT_EQ(pdf.renders[1], (Render{1, 400, 201, 2.0}));
  EXPECT_EQ(pdf.renders[2], (Render{4, 600, 800, 2.0}));
  EXPECT_EQ(pdf.renders.back().index, 49);
  EXPECT_EQ(pdf.recognised.size(), 47u);
}

}  // namespace
}  // namespace sorvi
