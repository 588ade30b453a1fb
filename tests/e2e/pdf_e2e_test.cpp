#include <filesystem>

#include <gtest/gtest.h>

#include "tool_run.h"

namespace sorvi::e2e {
namespace {

using nlohmann::json;

std::string pdf(const std::string& name) { return fixturePath("pdf/" + name); }

// Runs the tool on `paths` and checks what every run must give: status 0,
// silence on standard error, one record per path in order.
ToolRun runOn(const std::vector<std::string>& paths) {
  ToolRun run = runTool(paths);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.records.size(), paths.size()) << run.out;
  for (size_t i = 0; i < paths.size() && i < run.records.size(); ++i) {
    EXPECT_EQ(run.records[i]["path"], paths[i]);
  }
  return run;
}

TEST(PdfEndToEnd, DocumentsThatCannotBeOpenedAreLoadErrors) {
  const std::string directory = testing::TempDir() + "pdf_e2e_folder.pdf";
  std::filesystem::create_directories(directory);
  const std::vector<std::string> paths = {
      pdf("missing.pdf"), pdf("truncated.pdf"), pdf("not_a_pdf.pdf"), pdf("encrypted.pdf"),
      directory,          pdf("TRUNCATED.PDF")};
  const ToolRun run = runOn(paths);
  for (size_t i = 0; i < run.records.size(); ++i) {
    EXPECT_EQ(run.records[i], json({{"path", paths[i]}, {"error", "Could not load PDF"}}));
  }
}

}  // namespace
}  // namespace sorvi::e2e
