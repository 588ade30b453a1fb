#pragma once

#include <string_view>

#include "workers/step_observer.h"
#include "workers/worker_units.h"

namespace sorvi {

// The descriptors a worker process reads its requests from and writes its
// events to.
inline constexpr int kWorkerRequestFd = 3;
inline constexpr int kWorkerEventFd = 4;

// Serves requests from `requestFd` with `units`, one at a time, sending each
// unit's steps, its result and its end on `eventFd`, until the driver closes
// the request stream.
void serveRequests(int requestFd, int eventFd, WorkerUnits& units);

// Sends each step on `eventFd` as it starts.
class FrameStepObserver : public StepObserver {
 public:
  explicit FrameStepObserver(int eventFd) : eventFd_(eventFd) {}
  void stepStarted(Step step) override;

 private:
  int eventFd_;
};

// The worker process's whole life: bound to its parent, limits, libraries
// loaded, sandbox, then requests served. `parent` is the tool's pid, as the
// tool gave it. Returns its exit status.
int runWorkerProcess(std::string_view parent);

}  // namespace sorvi
