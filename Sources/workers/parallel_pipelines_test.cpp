#include "workers/parallel_pipelines.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "output/line_sink.h"

namespace sorvi {
namespace {

using std::chrono::milliseconds;
using Paths = std::vector<std::pair<char, std::string>>;  // 'I'mage, 'P'DF, 'E'rror

// Pixel counts come from the names: "px<N>..." has N pixels.
std::optional<std::uint64_t> pixelsFromName(const std::string& path) {
  if (!path.starts_with("px")) return std::nullopt;
  return std::stoull(path.substr(2));
}

std::vector<std::string> run(const Paths& paths, int jobs,
                             const std::string& program = SORVI_FAKE_WORKER,
                             const std::vector<std::string>& env = {}) {
  std::signal(SIGPIPE, SIG_IGN);  // as the tool does: a dead worker's pipe is no signal
  const JsonEncoder encoder;
  MemoryLineSink sink;
  Output output(encoder, sink);
  ParallelPipelines pipelines(
      [&] {
        return std::make_unique<WorkerProcess>(program, std::vector<std::string>{"fake_worker"},
                                               env);
      },
      jobs, StepBounds{milliseconds(2000), milliseconds(2000), milliseconds(300)}, output,
      pixelsFromName);
  for (const auto& [kind, path] : paths) {
    if (kind == 'I') pipelines.processImage(path);
    if (kind == 'P') pipelines.processPdf(path);
    if (kind == 'E') pipelines.outputError(path, "unsupported");
  }
  pipelines.finish();
  return sink.lines;
}

std::string image(const std::string& path) { return R"({"path":")" + path + R"(","text":"I"})"; }
std::string pdf(const std::string& path, const std::string& text) {
  return R"({"path":")" + path + R"(","text":")" + text + R"(","confidence":0.5})";
}
std::string failed(const std::string& path, const std::string& message) {
  return R"({"path":")" + path + R"(","error":")" + message + R"("})";
}

TEST(ParallelPipelines, RecordsComeOutInArgumentOrderWhateverOrderTheyFinishIn) {
  std::mt19937 random(11);
  Paths paths;
  std::vector<std::string> expected;
  for (int i = 0; i < 24; ++i) {
    const std::string path = "sleep" + std::to_string(random() % 80) + "-" + std::to_string(i);
    const char kind = "IIPE"[random() % 4];
    paths.emplace_back(kind, path);
    if (kind == 'I') expected.push_back(image(path));
    if (kind == 'P') expected.push_back(pdf(path, R"(p0\np1\np2)"));
    if (kind == 'E') expected.push_back(failed(path, "unsupported"));
  }
  paths.emplace_back('I', "nan");  // a worker that gives no record prints nothing
  for (const int jobs : {1, 4}) EXPECT_EQ(run(paths, jobs), expected) << jobs << " jobs";
}

TEST(ParallelPipelines, AWorkerThatDiesCostsOnlyItsOwnUnit) {
  const Paths paths = {{'I', "sleep300-a"},
                       {'I', "crash.png"},
                       {'P', "sleep200-b"},
                       {'P', "crash.pdf"},
                       {'I', "c"},
                       {'I', "line-then-crash"},
                       {'P', "crash-page1.x"},
                       {'P', "exit-after"},
                       {'I', "d"},
                       {'P', "crash-page1-crash-page0"}};
  const std::vector<std::string> expected = {
      image("sleep300-a"),
      failed("crash.png", "Could not load image"),
      pdf("sleep200-b", R"(p0\np1\np2)"),
      failed("crash.pdf", "Could not load PDF"),
      image("c"),
      R"({"path":"partial"})",
      pdf("crash-page1.x", R"(p0\np2)"),  // the page that took its worker down is skipped
      pdf("exit-after", R"(p0\np1\np2)"),
      image("d"),
      R"({"path":"crash-page1-crash-page0"})"};  // two pages lost: the one after is not read
  for (const int jobs : {1, 3}) EXPECT_EQ(run(paths, jobs), expected) << jobs << " jobs";
}

TEST(ParallelPipelines, AHangingStepIsKilledAtItsBoundWhileOtherUnitsFinish) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run({{'P', "hang-page0.pdf"}, {'I', "hang-recognizing"}, {'I', "a"}, {'P', "hang"}}, 3),
            (std::vector<std::string>{pdf("hang-page0.pdf", R"(p1\np2)"),
                                      failed("hang-recognizing", "Could not load image"),
                                      image("a"), failed("hang", "Could not load PDF")}));
  // The recognition bound (300 ms) applied, not the open bound (2 s), except
  // for the document that hangs while being opened.
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(3000));
}

TEST(ParallelPipelines, AtTheEndOfTheListTheLargestImagesStartFirst) {
  // The first two are taken before the list is known to end; the workers
  // stay busy with them long enough for the rest to be ordered.
  const Paths paths = {{'I', "sleep100-a"}, {'I', "sleep300-b"}, {'I', "px5-c"},
                       {'I', "d"},          {'I', "px9-e"},      {'I', "px7-f"}};
  std::vector<std::string> expected;
  for (const auto& [kind, path] : paths) expected.push_back(image(path));
  using Order = std::vector<std::string>;
  const std::vector<std::pair<int, Order>> startOrders = {
      // One worker finishes at the same time in any order.
      {1, {"sleep100-a", "sleep300-b", "px5-c", "d", "px9-e", "px7-f"}},
      {2, {"sleep100-a", "sleep300-b", "px9-e", "px7-f", "px5-c", "d"}}};
  for (const auto& [jobs, startOrder] : startOrders) {
    const std::string log = testing::TempDir() + "started-" + std::to_string(jobs);
    std::remove(log.c_str());
    EXPECT_EQ(run(paths, jobs, SORVI_FAKE_WORKER, {"FAKE_WORKER_LOG=" + log}), expected);
    std::ifstream started(log);
    Order order{std::istream_iterator<std::string>(started), {}};
    // The first two start at once, in either order.
    if (order.size() > 1) std::sort(order.begin(), order.begin() + 2);
    EXPECT_EQ(order, startOrder) << jobs << " jobs";
  }
}

TEST(ParallelPipelines, AWorkerThatCannotStartFailsEachPath) {
  EXPECT_EQ(run({{'I', "x.png"}, {'P', "y.pdf"}, {'E', "z"}}, 2, "/nonexistent/worker"),
            (std::vector<std::string>{failed("x.png", "Could not load image"),
                                      failed("y.pdf", "Could not load PDF"),
                                      failed("z", "unsupported")}));
}

}  // namespace
}  // namespace sorvi
