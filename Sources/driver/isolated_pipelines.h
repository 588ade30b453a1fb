#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "driver/step_observer.h"
#include "driver/worker_process.h"
#include "driver/worker_protocol.h"

namespace sorvi {

// How long each step of a path may run before the worker is killed.
struct StepBounds {
  std::chrono::milliseconds open{30'000};
  std::chrono::milliseconds render{30'000};
  // Recognition gives up by itself after 10 s; this only catches a worker
  // that failed to.
  std::chrono::milliseconds recognize{15'000};

  [[nodiscard]] std::chrono::milliseconds of(Step step) const;
};

// Runs each path's pipeline in a worker process, so that a file that
// crashes, hangs or exhausts memory costs only its own line: that path gets
// its load-failure record and a fresh worker takes the next one.
class IsolatedPipelines : public Pipelines {
 public:
  IsolatedPipelines(std::unique_ptr<WorkerProcess> worker, StepBounds bounds)
      : worker_(std::move(worker)), bounds_(bounds) {}

  void processImage(const std::string& path, Output& output) override;
  void processPdf(const std::string& path, Output& output) override;

 private:
  enum class Outcome {
    kDone,        // the record (if any) is out and the worker is ready
    kPrinted,     // the record is out but the worker must be replaced
    kNotStarted,  // the worker was gone before it took the path
    kFailed,      // the worker died or overran a step: no record
  };

  void process(FrameType request, const std::string& path, std::string_view failure,
               Output& output);
  Outcome attempt(FrameType request, const std::string& path, Output& output);
  bool send(FrameType request, const std::string& path);
  bool finish(FrameReader& reader);

  std::unique_ptr<WorkerProcess> worker_;
  StepBounds bounds_;
};

}  // namespace sorvi
