#include "driver/isolated_pipelines.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using std::chrono::milliseconds;

struct Harness {
  Harness()
      : pipelines(std::make_unique<WorkerProcess>(SORVI_FAKE_WORKER,
                                                  std::vector<std::string>{"fake_worker"},
                                                  std::vector<std::string>{}),
                  StepBounds{milliseconds(2000), milliseconds(2000), milliseconds(300)}),
        output(encoder, sink) {}

  std::vector<std::string> run(const std::vector<std::pair<char, std::string>>& paths) {
    for (const auto& [kind, path] : paths) {
      if (kind == 'I') {
        pipelines.processImage(path, output);
      } else {
        pipelines.processPdf(path, output);
      }
    }
    return sink.lines;
  }

  JsonEncoder encoder;
  MemoryLineSink sink;
  IsolatedPipelines pipelines;
  Output output;
};

TEST(IsolatedPipelines, ForwardsTheWorkersRecordsInOrder) {
  Harness harness;
  EXPECT_EQ(harness.run({{'I', "a"}, {'P', "b"}, {'I', "nan"}, {'I', "c"}}),
            (std::vector<std::string>{R"({"path":"a","text":"I"})", R"({"path":"b","text":"P"})",
                                      R"({"path":"c","text":"I"})"}));
}

TEST(IsolatedPipelines, AWorkerThatDiesCostsOnlyItsOwnPath) {
  Harness harness;
  EXPECT_EQ(harness.run({{'I', "a"},
                         {'P', "crash.pdf"},
                         {'I', "b"},
                         {'I', "crash.png"},
                         {'I', "line-then-crash"},
                         {'P', "exit-after"},
                         {'I', "c"}}),
            (std::vector<std::string>{
                R"({"path":"a","text":"I"})",
                R"({"path":"crash.pdf","error":"Could not load PDF"})",
                R"({"path":"b","text":"I"})",
                R"({"path":"crash.png","error":"Could not load image"})",
                R"({"path":"partial"})",
                R"({"path":"exit-after","text":"P"})",
                R"({"path":"c","text":"I"})",
            }));
}

TEST(IsolatedPipelines, AStepPastItsBoundIsKilledAndTheRunGoesOn) {
  Harness harness;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(
      harness.run({{'I', "hang-recognizing"}, {'I', "a"}}),
      (std::vector<std::string>{R"({"path":"hang-recognizing","error":"Could not load image"})",
                                R"({"path":"a","text":"I"})"}));
  // The recognition bound (300 ms) applied, not the open bound (2 s).
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1500));

  EXPECT_EQ(harness.run({{'P', "hang"}, {'P', "b"}}).back(), R"({"path":"b","text":"P"})");
}

TEST(IsolatedPipelines, AWorkerThatCannotStartFailsEachPath) {
  IsolatedPipelines pipelines(
      std::make_unique<WorkerProcess>("/nonexistent/worker", std::vector<std::string>{"w"},
                                      std::vector<std::string>{}),
      StepBounds{});
  const JsonEncoder encoder;
  MemoryLineSink sink;
  Output output(encoder, sink);
  pipelines.processImage("x.png", output);
  pipelines.processPdf("y.pdf", output);
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{R"({"path":"x.png","error":"Could not load image"})",
                                      R"({"path":"y.pdf","error":"Could not load PDF"})"}));
}

}  // namespace
}  // namespace sorvi
