#include "pdf/process_pdf.h"

#include <deque>
#include <map>

#include <gtest/gtest.h>

#include "output/line_sink.h"

namespace sorvi {
namespace {

struct FakePage {
  std::optional<PageGeometry> geometry = PageGeometry{{0, 0, 300, 400}, 0};
  bool renders = true;
  RecognitionOutcome outcome;
};

FakePage pageSaying(std::optional<std::string> text, std::optional<double> confidence) {
  FakePage page;
  page.outcome = {std::move(text), confidence};
  return page;
}

struct RenderCall {
  int index;
  double scale;
  int width;
  int height;
};

// Pages render as images whose first byte is their index, so the recognizer
// can tell them apart.
class FakeDocument : public PdfDocument {
 public:
  FakeDocument(std::vector<FakePage> pages, std::vector<RenderCall>& calls)
      : pages_(std::move(pages)), calls_(calls) {}
  int pageCount() override { return static_cast<int>(pages_.size()); }
  std::optional<PageGeometry> pageGeometry(int index) override {
    return pages_.at(static_cast<size_t>(index)).geometry;
  }
  std::shared_ptr<const RasterImage> renderPage(int index, double scale, PixelSize size) override {
    calls_.push_back({index, scale, size.width, size.height});
    if (!pages_.at(static_cast<size_t>(index)).renders) return nullptr;
    auto image = std::make_shared<RasterImage>();
    image->width = 1;
    image->height = 1;
    image->rgba = {static_cast<uint8_t>(index), 0, 0, 255};
    return image;
  }

 private:
  std::vector<FakePage> pages_;
  std::vector<RenderCall>& calls_;
};

class FakeOpener : public PdfOpener {
 public:
  std::unique_ptr<PdfDocument> open(const std::string& path) override {
    openedPaths.push_back(path);
    if (!pages) return nullptr;
    return std::make_unique<FakeDocument>(*pages, renderCalls);
  }
  std::optional<std::vector<FakePage>> pages;
  std::vector<std::string> openedPaths;
  std::vector<RenderCall> renderCalls;
};

class FakeRecognizer : public Recognizer {
 public:
  explicit FakeRecognizer(const FakeOpener& opener) : opener_(opener) {}
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) override {
    recognised.push_back(image->rgba.at(0));
    return opener_.pages->at(image->rgba.at(0)).outcome;
  }
  std::vector<int> recognised;

 private:
  const FakeOpener& opener_;
};

struct PdfRun {
  std::vector<std::string> lines;
  std::vector<RenderCall> renderCalls;
  std::vector<int> recognised;
};

PdfRun run(std::optional<std::vector<FakePage>> pages, const std::string& path = "doc.pdf") {
  FakeOpener opener;
  opener.pages = std::move(pages);
  FakeRecognizer recognizer(opener);
  const JsonEncoder encoder;
  MemoryLineSink sink;
  Output output(encoder, sink);
  processPdf(path, opener, recognizer, output);
  EXPECT_EQ(opener.openedPaths, std::vector<std::string>{path});
  return {sink.lines, opener.renderCalls, recognizer.recognised};
}

TEST(ProcessPdf, DocumentThatCannotBeOpenedIsTheLoadError) {
  EXPECT_EQ(run(std::nullopt, "dir/a.PDF").lines,
            std::vector<std::string>{R"({"path":"dir\/a.PDF","error":"Could not load PDF"})"});
}

TEST(ProcessPdf, DocumentWithoutTextHasNeitherTextNorConfidence) {
  const std::string bare = R"({"path":"doc.pdf"})";
  EXPECT_EQ(run(std::vector<FakePage>{}).lines, std::vector<std::string>{bare});
  EXPECT_EQ(run(std::vector<FakePage>{pageSaying(std::nullopt, std::nullopt), pageSaying("", 0.9),
                                      pageSaying(" \n\t\u00A0\u2028 ", 0.8), pageSaying("\n", 0.7)})
                .lines,
            std::vector<std::string>{bare});
}

TEST(ProcessPdf, PagesWithoutTextLeaveNoTraceInTextOrMean) {
  const PdfRun result =
      run(std::vector<FakePage>{pageSaying("A", 0.5), pageSaying(std::nullopt, std::nullopt),
                                pageSaying("", 0.1), pageSaying("C", 1.0)});
  EXPECT_EQ(result.lines,
            std::vector<std::string>{R"({"path":"doc.pdf","text":"A\nC","confidence":0.75})"});
  EXPECT_EQ(result.recognised, (std::vector<int>{0, 1, 2, 3}));
}

TEST(ProcessPdf, OnlyTheEndsOfTheWholeTextAreTrimmed) {
  // A whitespace-only page still weighs in the mean; middle whitespace stays.
  const PdfRun result =
      run(std::vector<FakePage>{pageSaying("\u3000 \n first  ", 0.2), pageSaying("  ", 0.4),
                                pageSaying("mid \t", 0.6), pageSaying("last\u0085 \r\n", 0.8)});
  EXPECT_EQ(result.lines,
            std::vector<std::string>{
                R"({"path":"doc.pdf","text":"first  \n  \nmid \t\nlast","confidence":0.5})"});
}

TEST(ProcessPdf, PageTextIsUsedUnchanged) {
  EXPECT_EQ(run(std::vector<FakePage>{pageSaying("x\n\ny", 0.25)}).lines,
            std::vector<std::string>{R"({"path":"doc.pdf","text":"x\n\ny","confidence":0.25})"});
}

TEST(ProcessPdf, OnlyTheFirstFiftyPagesAreRendered) {
  std::vector<FakePage> pages;
  for (int k = 1; k <= 60; ++k) pages.push_back(pageSaying(std::to_string(k), 1.0));
  const PdfRun result = run(pages);
  std::string expected;
  for (int k = 1; k <= 50; ++k) expected += std::to_string(k) + (k < 50 ? "\\n" : "");
  EXPECT_EQ(result.lines, std::vector<std::string>{R"({"path":"doc.pdf","text":")" + expected +
                                                   R"(","confidence":1})"});
  ASSERT_EQ(result.renderCalls.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(result.renderCalls[i].index, i);
}

TEST(ProcessPdf, PagesAreDrawnAtTwiceTheirSizeTruncated) {
  std::vector<FakePage> pages(4, pageSaying("p", 1.0));
  pages[0].geometry = PageGeometry{{0, 0, 300, 400}, 0};
  pages[1].geometry = PageGeometry{{-50.5, 12.25, 100.6, 200.3}, 0};
  pages[2].geometry = PageGeometry{{0, 0, 100.6, 200.3}, 1};
  pages[3].geometry = PageGeometry{{0, 0, 612, 792}, 2};
  const PdfRun result = run(pages);
  ASSERT_EQ(result.renderCalls.size(), 4u);
  const std::vector<std::pair<int, int>> expected = {
      {600, 800}, {201, 400}, {400, 201}, {1224, 1584}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(result.renderCalls[i].scale, 2.0);
    EXPECT_EQ(result.renderCalls[i].width, expected[i].first) << i;
    EXPECT_EQ(result.renderCalls[i].height, expected[i].second) << i;
  }
}

TEST(ProcessPdf, PagesThatFailAnyStepAreSkippedAndLaterPagesStillRead) {
  std::vector<FakePage> pages = {pageSaying("one", 0.4), pageSaying("lost", 1.0),
                                 pageSaying("lost", 1.0), pageSaying("lost", 1.0),
                                 pageSaying("two", 0.6)};
  pages[1].geometry = std::nullopt;                       // cannot be fetched
  pages[2].geometry = PageGeometry{{0, 0, 1e9, 1e9}, 0};  // over the memory budget
  pages[3].renders = false;                               // cannot be drawn
  const PdfRun result = run(pages);
  EXPECT_EQ(result.lines,
            std::vector<std::string>{R"({"path":"doc.pdf","text":"one\ntwo","confidence":0.5})"});
  EXPECT_EQ(result.recognised, (std::vector<int>{0, 4}));
  ASSERT_EQ(result.renderCalls.size(), 3u);
  EXPECT_EQ(result.renderCalls[1].index, 3);
}

}  // namespace
}  // namespace sorvi
