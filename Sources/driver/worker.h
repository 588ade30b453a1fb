#pragma once

#include <memory>

#include "driver/driver.h"
#include "driver/step_observer.h"
#include "driver/worker_process.h"

namespace sorvi {

// Serves path requests from `requestFd` with `pipelines`, sending each
// path's record, its steps and its end on `eventFd`, until the driver
// closes the request stream.
void serveRequests(int requestFd, int eventFd, Pipelines& pipelines);

// Sends each step on `eventFd` as it starts.
class FrameStepObserver : public StepObserver {
 public:
  explicit FrameStepObserver(int eventFd) : eventFd_(eventFd) {}
  void stepStarted(Step step) override;

 private:
  int eventFd_;
};

// True in the worker process that the driver started.
bool isWorkerProcess();

// The worker process's whole life: limits, libraries loaded, sandbox, then
// requests served. Returns its exit status.
int runWorkerProcess();

// A worker process running this same program.
std::unique_ptr<WorkerProcess> makeWorkerProcess();

}  // namespace sorvi
