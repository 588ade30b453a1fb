#include "driver/isolated_pipelines.h"

#include <csignal>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using std::chrono::milliseconds;
using Lines = std::vector<std::string>;

// Sends paths to `worker` ('I' an image, 'P' a PDF) and gives the lines out.
Lines run(const std::string& worker, const std::vector<std::pair<char, std::string>>& paths) {
  std::signal(SIGPIPE, SIG_IGN);  // as the tool does: a dead worker's pipe is no reason to die
  IsolatedPipelines pipelines(
      std::make_unique<WorkerProcess>(worker, Lines{"worker"}, Lines{}),
      StepBounds{milliseconds(2000), milliseconds(2000), milliseconds(300)});
  const JsonEncoder encoder;
  MemoryLineSink sink;
  Output output(encoder, sink);
  for (const auto& [kind, path] : paths) {
    if (kind == 'I') {
      pipelines.processImage(path, output);
    } else {
      pipelines.processPdf(path, output);
    }
  }
  return sink.lines;
}

TEST(IsolatedPipelines, AWorkerThatDiesCostsOnlyItsOwnPathAndOrderHolds) {
  // The fake worker does what the path says; "nan" prints nothing.
  EXPECT_EQ(
      run(SORVI_FAKE_WORKER, {{'I', "a"},
                              {'P', "crash.pdf"},
                              {'I', "nan"},
                              {'P', "b"},
                              {'I', "crash.png"},
                              {'I', "line-then-crash"},
                              {'P', "exit-after"},
                              {'I', "c"}}),
      (Lines{R"({"path":"a","text":"I"})", R"({"path":"crash.pdf","error":"Could not load PDF"})",
             R"({"path":"b","text":"P"})", R"({"path":"crash.png","error":"Could not load image"})",
             R"({"path":"partial"})", R"({"path":"exit-after","text":"P"})",
             R"({"path":"c","text":"I"})"}));
}

TEST(IsolatedPipelines, AStepPastItsBoundIsKilledAndTheRunGoesOn) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run(SORVI_FAKE_WORKER, {{'I', "hang-recognizing"}, {'I', "a"}}),
            (Lines{R"({"path":"hang-recognizing","error":"Could not load image"})",
                   R"({"path":"a","text":"I"})"}));
  // The recognition bound (300 ms) applied, not the open bound (2 s).
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1500));
  EXPECT_EQ(run(SORVI_FAKE_WORKER, {{'P', "hang"}, {'P', "b"}}).back(),
            R"({"path":"b","text":"P"})");
}

TEST(IsolatedPipelines, AWorkerThatCannotStartFailsEachPath) {
  EXPECT_EQ(run("/nonexistent/worker", {{'I', "x.png"}, {'P', "y.pdf"}}),
            (Lines{R"({"path":"x.png","error":"Could not load image"})",
                   R"({"path":"y.pdf","error":"Could not load PDF"})"}));
}

}  // namespace
}  // namespace sorvi
