#include <gtest/gtest.h>

#include "tool_run.h"

namespace sorvi::e2e {
namespace {

using nlohmann::json;

TEST(DriverEndToEnd, NoArgumentPrintsUsageAndExitsOne) {
  const ToolRun run = runTool({});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), 1u);
  EXPECT_EQ(run.records[0],
            json({{"path", ""}, {"error", "Usage: sorvi-ocr <path1> [path2] ..."}}));
  EXPECT_EQ(run.out, "{\"path\":\"\",\"error\":\"Usage: sorvi-ocr <path1> [path2] ...\"}\n");
}

TEST(DriverEndToEnd, EveryArgumentGetsOneLineInOrderWithItsExactText) {
  const std::vector<std::string> args = {
      "photos/missing.png", "notes.TXT",      "-v",
      "missing.PDF",        "archive.tar.gz", "a \"quoted\" name\\.tif",
      "line\nbreak.gif",    "tab\there",      "",
      "photos/missing.png", "x.ÄBC",          "dir.png/"};
  const ToolRun run = runTool(args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), args.size()) << run.out;
  for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(run.records[i]["path"], args[i]);

  const auto errorOf = [&](size_t i) { return run.records[i]["error"].get<std::string>(); };
  EXPECT_EQ(errorOf(0), "Could not load image");
  EXPECT_EQ(errorOf(1), "Unsupported file type: txt");
  EXPECT_EQ(errorOf(2), "Unsupported file type: ");
  EXPECT_EQ(errorOf(3), "Could not load PDF");
  EXPECT_EQ(errorOf(4), "Unsupported file type: gz");
  EXPECT_EQ(errorOf(5), "Unsupported file type: tif");
  EXPECT_EQ(errorOf(6), "Unsupported file type: gif");
  EXPECT_EQ(errorOf(7), "Unsupported file type: ");
  EXPECT_EQ(errorOf(8), "Unsupported file type: ");
  EXPECT_EQ(errorOf(10), "Unsupported file type: äbc");
  EXPECT_EQ(errorOf(11), "Could not load image");  // a directory named like an image
  for (const json& record : run.records) EXPECT_EQ(record.size(), 2u) << record;

  // Slashes are escaped on the wire and nothing breaks a line.
  EXPECT_NE(run.out.find(R"("path":"photos\/missing.png")"), std::string::npos);
  EXPECT_NE(run.out.find(R"(line\nbreak.gif)"), std::string::npos);
}

TEST(DriverEndToEnd, PathThatIsNotUtf8StillGetsItsLine) {
  const ToolRun run = runTool({"bad\xFF\xFEname.png", "caf\xE9.txt", "ok.txt"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), 3u) << run.out;
  EXPECT_EQ(run.records[0]["path"], "bad\uFFFD\uFFFDname.png");
  EXPECT_EQ(run.records[0]["error"], "Could not load image");
  EXPECT_EQ(run.records[1]["path"], "caf\uFFFD.txt");
  EXPECT_EQ(run.records[2]["path"], "ok.txt");
}

}  // namespace
}  // namespace sorvi::e2e
