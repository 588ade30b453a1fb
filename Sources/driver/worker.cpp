#include "driver/worker.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/local_pipelines.h"
#include "driver/worker_protocol.h"
#include "output/json_encoder.h"
#include "output/output.h"
#include "platform/process_limits.h"


namespace sorvi {
namespace {

constexpr const char* kWorkerVariable = "SORVI_OCR_WORKER";
constexpr int kRequestFd = 3;
constexpr int kEventFd = 4;

class FrameLineSink : public LineSink {
 public:
  explicit FrameLineSink(int eventFd) : eventFd_(eventFd) {}
  void writeLine(std::string_view line) override { writeFrame(eventFd_, FrameType::kLine, line); }

 private:
  int eventFd_;
};

bool startsWith(const char* text, std::string_view prefix) {
  return std::string_view(text).substr(0, prefix.size()) == prefix;
}

}  // namespace

void FrameStepObserver::stepStarted(Step step) {
  const char byte = static_cast<char>(step);
  writeFrame(eventFd_, FrameType::kStep, std::string_view(&byte, 1));
}

void serveRequests(int requestFd, int eventFd, Pipelines& pipelines) {
  const JsonEncoder encoder;
  FrameLineSink sink(eventFd);
  Output output(encoder, sink);
  FrameStepObserver steps(eventFd);
  while (std::optional<Frame> request = readFrame(requestFd)) {
    // Tells the driver this path is taken.
    steps.stepStarted(Step::kOpen);
    if (request->type == FrameType::kImageRequest) {
      pipelines.processImage(request->payload, output);
    } else if (request->type == FrameType::kPdfRequest) {
      pipelines.processPdf(request->payload, output);
    }
    if (!writeFrame(eventFd, FrameType::kDone, {})) return;
  }
}

bool isWorkerProcess() { return std::getenv(kWorkerVariable) != nullptr; }

int runWorkerProcess() {
  ::unsetenv(kWorkerVariable);
  applyWorkerLimits();
  FrameStepObserver observer(kEventFd);
  LocalPipelines pipelines(&observer);
  pipelines.loadLibraries();
  enterSandbox();
  serveRequests(kRequestFd, kEventFd, pipelines);
  return 0;
}

std::unique_ptr<WorkerProcess> makeWorkerProcess() {
  std::vector<std::string> env;
  bool threadLimitSet = false;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    threadLimitSet = threadLimitSet || startsWith(*entry, "OMP_THREAD_LIMIT=");
    env.emplace_back(*entry);
  }
  // Tesseract's OpenMP loops ask for more threads than a small machine has
  // cores and lose more to contention than they gain; the limit must be in
  // the environment before the OpenMP runtime loads.
  if (!threadLimitSet) env.emplace_back("OMP_THREAD_LIMIT=1");
  env.emplace_back(std::string(kWorkerVariable) + "=1");
  return std::make_unique<WorkerProcess>("/proc/self/exe", std::vector<std::string>{"sorvi-ocr"},
                                         std::move(env));
}

}  // namespace sorvi
