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

bool isWorkerProcess() {
  // The marker names the driver that started us, so a stray copy of it in a
  // user's environment does not turn the tool into a silent worker.
  const char* driver = std::getenv(kWorkerVariable);
  return driver != nullptr && std::to_string(::getppid()) == driver;
}

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
  const std::string marker = std::string(kWorkerVariable) + "=";
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with(marker)) env.emplace_back(*entry);
  }
  env.emplace_back(marker + std::to_string(::getpid()));
  return std::make_unique<WorkerProcess>("/proc/self/exe", std::vector<std::string>{"sorvi-ocr"},
                                         std::move(env));
}

}  // namespace sorvi
