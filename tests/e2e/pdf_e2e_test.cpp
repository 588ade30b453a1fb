#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "tool_run.h"

namespace sorvi::e2e {
namespace {

using nlohmann::json;

std::string pdf(const std::string& name) { return fixturePath("pdf/" + name); }

// The record's text, after checking it is a recognition result for a PDF.
std::string textOf(const json& record) {
  EXPECT_FALSE(record.contains("error")) << record;
  EXPECT_FALSE(record.contains("exif")) << record;
  if (!record.contains("text")) {
    ADD_FAILURE() << "no text: " << record;
    return "";
  }
  const double confidence = record["confidence"].get<double>();
  EXPECT_GT(confidence, 0.3) << record;
  EXPECT_LE(confidence, 1.0) << record;
  return record["text"].get<std::string>();
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(PdfEndToEnd, DocumentsWithoutTextHaveOnlyTheirPath) {
  const std::vector<std::string> paths = {pdf("empty.pdf"), pdf("blank.pdf")};
  const ToolRun run = runToolChecked(paths);
  for (size_t i = 0; i < run.records.size(); ++i) {
    EXPECT_EQ(run.records[i], json({{"path", paths[i]}}));
  }
}

TEST(PdfEndToEnd, PagesAreReadInOrderOneLineFeedApart) {
  const ToolRun run =
      runToolChecked({pdf("words.pdf"), pdf("owner_locked.pdf"), pdf("scanned.pdf")});
  ASSERT_EQ(run.records.size(), 3u);
  EXPECT_EQ(textOf(run.records[0]), "Alpha Bravo\nCharlie\nDelta Echo\nFoxtrot");
  // Locked against changes only: it opens like any other.
  EXPECT_EQ(textOf(run.records[1]), "Alpha Bravo\nCharlie\nDelta Echo\nFoxtrot");
  // Image-only pages.
  EXPECT_EQ(textOf(run.records[2]), "Whiskey Xray\nYankee Zulu");
}

TEST(PdfEndToEnd, WholeMediaBoxIsReadUprightWhateverItsShapeAndTurn) {
  const ToolRun run =
      runToolChecked({pdf("boxes.pdf"), pdf("rotated.pdf"), pdf("rotated_inherited.pdf")});
  ASSERT_EQ(run.records.size(), 3u);
  // Odd size, far from the origin, words outside the crop box.
  EXPECT_EQ(textOf(run.records[0]), "Golf\nHotel India\nJuliett Kilo");
  EXPECT_EQ(textOf(run.records[1]), "Lima Mike\nNovember Oscar\nPapa Quebec");
  EXPECT_EQ(textOf(run.records[2]), "Romeo Sierra");
}

TEST(PdfEndToEnd, PageOverTheMemoryBudgetIsSkipped) {
  const ToolRun run = runToolChecked({pdf("huge_page.pdf")});
  ASSERT_EQ(run.records.size(), 1u);
  EXPECT_EQ(textOf(run.records[0]), "Uniform Victor");
}

TEST(PdfEndToEnd, OnlyTheFirstFiftyPagesAreRead) {
  const ToolRun run = runToolChecked({pdf("count60.pdf")});
  ASSERT_EQ(run.records.size(), 1u);
  const std::string text = textOf(run.records[0]);
  EXPECT_NE(text.back(), '\n');
  // Page k shows k. The engine may pass over a lone digit, so pages 1 to 9
  // may be missing; every two-digit page up to 50 must be there, in order.
  std::vector<int> numbers;
  for (const std::string& line : linesOf(text)) numbers.push_back(std::stoi(line));
  ASSERT_FALSE(numbers.empty());
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << text;
  EXPECT_EQ(numbers.back(), 50) << text;
  for (int k = 10; k <= 50; ++k) {
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), k), numbers.end()) << k << " in " << text;
  }
}

TEST(PdfEndToEnd, DocumentsThatCannotBeOpenedAreLoadErrors) {
  const std::string directory = testing::TempDir() + "pdf_e2e_folder.pdf";
  std::filesystem::create_directories(directory);
  const std::vector<std::string> paths = {
      pdf("missing.pdf"), pdf("truncated.pdf"), pdf("not_a_pdf.pdf"), pdf("encrypted.pdf"),
      directory,          pdf("TRUNCATED.PDF")};
  const ToolRun run = runToolChecked(paths);
  for (size_t i = 0; i < run.records.size(); ++i) {
    EXPECT_EQ(run.records[i], json({{"path", paths[i]}, {"error", "Could not load PDF"}}));
  }
}

}  // namespace
}  // namespace sorvi::e2e
