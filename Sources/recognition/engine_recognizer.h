#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "recognition/engine_pool.h"
#include "recognition/recognizer.h"
#include "recognition/text_engine.h"

namespace sorvi {

// The tool's time limit for one image.
inline constexpr std::chrono::duration<double> kRecognitionDeadline{10.0};
// A recognition that waits rather than works (blocked, or starved of the
// processor) is given this many times the limit on the clock.
inline constexpr int kWaitingAllowance = 3;

// Runs each recognition on its own worker thread and waits for it until the
// deadline: until the thread has worked that long, counted in processor time,
// so that the same image is read the same on a busy machine as on a quiet
// one, or until `kWaitingAllowance` times that has passed on the clock. A
// recognition that misses it is abandoned: its engine is asked to stop, its
// result is never read, and the next call goes on with another engine
// instance meanwhile. Calls come from one thread at a time.
class EngineRecognizer : public Recognizer {
 public:
  EngineRecognizer(TextEngineFactory factory, std::chrono::duration<double> deadline);
  // Waits for abandoned recognitions to wind down, so that no worker still
  // runs in the engine while the process tears down.
  ~EngineRecognizer() override;
  EngineRecognizer(const EngineRecognizer&) = delete;
  EngineRecognizer& operator=(const EngineRecognizer&) = delete;

  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) override;

  // Returns once every abandoned recognition has stopped.
  void waitForAbandoned();

 private:
  struct Call;
  struct LateWorker {
    std::shared_ptr<Call> call;
    std::thread thread;
  };

  void joinFinishedLateWorkers();

  std::chrono::steady_clock::duration deadline_;
  std::shared_ptr<EnginePool> pool_;
  std::vector<LateWorker> lateWorkers_;  // touched by the calling thread only
};

}  // namespace sorvi
