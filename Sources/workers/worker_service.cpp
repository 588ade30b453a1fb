#include "workers/worker_service.h"

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <string>

#include "output/json_encoder.h"
#include "output/output.h"
#include "platform/process/process_limits.h"
#include "workers/worker_protocol.h"
#include "workers/worker_setup.h"

namespace sorvi {
namespace {

// Less than this is left to the next unit: handing memory back and faulting
// it in again costs time. More than this, left in pieces by a reading of
// lines, raised the peak of a large page read next by about 30 MB.
constexpr std::uint64_t kFreeMemoryKept = std::uint64_t{32} << 20;

class FrameLineSink : public LineSink {
 public:
  explicit FrameLineSink(int eventFd) : eventFd_(eventFd) {}
  void writeLine(std::string_view line) override { writeFrame(eventFd_, FrameType::kLine, line); }

 private:
  int eventFd_;
};

bool isPipe(int fd) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode);
}

}  // namespace

void FrameStepObserver::stepStarted(Step step) {
  const char byte = static_cast<char>(step);
  writeFrame(eventFd_, FrameType::kStep, std::string_view(&byte, 1));
}

void serveRequests(int requestFd, int eventFd, WorkerUnits& units) {
  const JsonEncoder encoder;
  FrameLineSink sink(eventFd);
  Output output(encoder, sink);
  FrameStepObserver steps(eventFd);
  while (std::optional<Frame> request = readFrame(requestFd)) {
    // Tells the driver this unit is taken.
    steps.stepStarted(Step::kOpen);
    switch (request->type) {
      case FrameType::kImageRequest:
        units.processImage(request->payload, output);
        break;
      case FrameType::kPageCountRequest:
        writeFrame(eventFd, FrameType::kPageCount,
                   encodePageCount(units.countPages(request->payload).value_or(kUnopenable)));
        break;
      case FrameType::kPageRequest:
        if (const std::optional<PageRequest> page = decodePageRequest(request->payload)) {
          writeFrame(eventFd, FrameType::kPage,
                     encodePageOutcome(units.recognizePage(page->path, page->index)));
        }
        break;
      default:
        break;
    }
    // The next unit may start only when no recognition of this one runs.
    units.waitForAbandoned();
    // What one unit freed stays resident otherwise, scattered through the
    // heap where the next unit's large buffers do not fit: a batch's worker
    // held about 200 MB more than any one file needs.
    releaseFreeMemory(kFreeMemoryKept);
    if (!writeFrame(eventFd, FrameType::kDone, {})) return;
  }
}

int runWorkerProcess(std::string_view parent) {
  // Only the tool starts us, with its pipes on these descriptors; run by
  // hand we have nothing to serve.
  if (!isPipe(kWorkerRequestFd) || !isPipe(kWorkerEventFd)) return 2;
  // We die with the tool, however it ends. A tool that was gone before the
  // signal was set has left us to another parent: nobody waits for our work.
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || std::to_string(::getppid()) != parent) return 2;
  applyWorkerLimits();
  FrameStepObserver observer(kWorkerEventFd);
  WorkerUnits units(&observer, textModelFolder(ownProgramPath(), [](const std::string& folder) {
    return ::access(folder.c_str(), R_OK | X_OK) == 0;
  }));
  WorkerUnits::loadLibraries();
  enterSandbox();
  serveRequests(kWorkerRequestFd, kWorkerEventFd, units);
  return 0;
}

}  // namespace sorvi
