#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "tool_run.h"

namespace sorvi::e2e {
namespace {

std::string hostile(const std::string& name) { return fixturePath("hostile/" + name); }

TEST(IsolationEndToEnd, HostileFilesEachGetTheirLineInOrder) {
  const std::vector<std::string> args = {
      hostile("huge-declared.png"),      hostile("giant-page.pdf"), "after.txt",
      hostile("ten-thousand-pages.pdf"), hostile("truncated.pdf"),  "last.txt"};
  const auto start = std::chrono::steady_clock::now();
  const ToolRun run = runTool(args);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), args.size()) << run.out;
  for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(run.records[i]["path"], args[i]);

  EXPECT_EQ(run.records[0]["error"], "Could not load image");
  // The one giant page is over the memory budget: skipped, so no text.
  EXPECT_EQ(run.records[1].size(), 1u) << run.records[1];
  EXPECT_EQ(run.records[2]["error"], "Unsupported file type: txt");
  // Only the first fifty of the ten thousand pages are read.
  const std::string text = run.records[3].value("text", "");
  size_t pages = 0;
  for (size_t at = text.find("PAGE"); at != std::string::npos; at = text.find("PAGE", at + 1)) {
    ++pages;
  }
  EXPECT_EQ(pages, 50u) << text;
  EXPECT_EQ(run.records[4]["error"], "Could not load PDF");
  EXPECT_LT(seconds.count(), 300.0);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

TEST(IsolationEndToEnd, DecompressionBombsEndFastWithinTheMemoryBound) {
  const std::vector<std::string> args = {hostile("font-bomb.pdf"), hostile("content-bomb.pdf"),
                                         hostile("zeros-bomb.png"),
                                         fixturePath("images/png_rgb8.png")};
  const auto start = std::chrono::steady_clock::now();
  const ToolRun run = runToolChecked(args);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  ASSERT_EQ(run.records.size(), args.size()) << run.out;
  // The bomb's page cannot be drawn within the bound: skipped, so no text.
  EXPECT_FALSE(run.records[0].contains("text")) << run.records[0];
  // Only the bomb pages are skipped; the page between them is read.
  EXPECT_EQ(run.records[1].value("text", ""), "AFTER") << run.records[1];
  EXPECT_EQ(run.records[2]["error"], "Could not load image");
  EXPECT_TRUE(run.records[3].contains("text")) << run.records[3];
  // The sanitizer's own memory rules out the bound; only a loose one holds there.
  if (kSanitized) GTEST_SKIP() << "memory and time bounds are not those of a plain build";
  // The tool has reaped its workers, so its peak covers theirs.
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss * 1024L, 1'200'000'000L);
  EXPECT_LT(seconds.count(), 15.0);
}

TEST(IsolationEndToEnd, AKilledWorkerCostsOnlyThePathItWasOn) {
  const std::vector<std::string> args = {"first.txt", fixturePath("pdf/count60.pdf"), "missing.png",
                                         fixturePath("pdf/words.pdf"),
                                         fixturePath("pdf/count60.pdf")};
  bool killed = false;
  // Once the first line is out, the worker starts and then spends seconds
  // on the fifty pages of the long document; it is killed a second in.
  const ToolRun run = runToolWatching(args, [&](int toolPid, size_t line) {
    if (line != 0) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<int> workers;
    while (workers.empty() && std::chrono::steady_clock::now() < deadline) {
      workers = childrenOf(toolPid);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (const int worker : workers) killed = kill(worker, SIGKILL) == 0 || killed;
  });
  ASSERT_TRUE(killed);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), args.size()) << run.out;
  EXPECT_EQ(run.records[1], nlohmann::json({{"path", args[1]}, {"error", "Could not load PDF"}}));
  EXPECT_EQ(run.records[2]["error"], "Could not load image");
  EXPECT_TRUE(run.records[3].contains("text")) << run.records[3];
  EXPECT_TRUE(run.records[4].contains("text")) << run.records[4];
}

}  // namespace
}  // namespace sorvi::e2e
