#include "recognition/engine_recognizer.h"

#include <pthread.h>
#include <ctime>

#include <algorithm>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "recognition/image_reading.h"
#include "recognition/timed_semaphore.h"

namespace sorvi {

// The state one call shares with its worker. The worker publishes the first
// reading as soon as it has it and the final one before it signals; at the
// deadline the caller takes whatever is published and marks the call
// abandoned, so a late worker writes into live cells that nobody reads.
struct EngineRecognizer::Call {
  TimedSemaphore signal{0};
  std::mutex mutex;
  RecognitionOutcome published;  // guarded by mutex
  std::atomic<bool> abandoned{false};
  std::atomic<bool> finished{false};
  // The worker thread's processor-time clock, once it runs.
  std::atomic<bool> clockKnown{false};
  std::atomic<clockid_t> clock{};

  void knowThisThreadsClock() {
    clockid_t own{};
    if (::pthread_getcpuclockid(::pthread_self(), &own) == 0) {
      clock = own;
      clockKnown = true;
    }
  }
  // Processor time the worker has used; zero before it runs or once it has
  // ended (it signals first, so the waiter sees the signal next).
  [[nodiscard]] std::chrono::nanoseconds worked() const {
    timespec used{};
    if (!clockKnown || ::clock_gettime(clock, &used) != 0) return {};
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
  }

  void publish(const RecognitionOutcome& outcome) {
    const std::lock_guard lock(mutex);
    if (!abandoned) {
      published = outcome;
    }
  }
  RecognitionOutcome take() {
    const std::lock_guard lock(mutex);
    abandoned = true;
    return std::move(published);
  }
};

namespace {

// Two idle instances cover the next image while one abandoned recognition
// is still winding down; more would only hold memory.
constexpr std::size_t kMaxIdleEngines = 2;

RecognitionOutcome recognizeWithPool(
    EnginePool& pool, const RasterImage& image, const std::atomic<bool>& abandoned,
    const std::function<void(const RecognitionOutcome&)>& firstReading) {
  std::unique_ptr<TextEngine> engine = pool.take();
  if (!engine) {
    return {};
  }
  RecognitionOutcome outcome = readImage(*engine, image, abandoned, firstReading);
  pool.giveBack(std::move(engine));
  return outcome;
}

}  // namespace

EngineRecognizer::EngineRecognizer(TextEngineFactory factory,
                                   std::chrono::duration<double> deadline)
    : deadline_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline)),
      pool_(std::make_shared<EnginePool>(std::move(factory), kMaxIdleEngines)) {}

EngineRecognizer::~EngineRecognizer() { waitForAbandoned(); }

void EngineRecognizer::waitForAbandoned() {
  for (LateWorker& late : lateWorkers_) {
    late.thread.join();
  }
  lateWorkers_.clear();
}

RecognitionOutcome EngineRecognizer::ocrImage(std::shared_ptr<const RasterImage> image) {
  joinFinishedLateWorkers();
  if (!image) {
    return {};
  }

  const auto waitingLimit = std::chrono::steady_clock::now() + kWaitingAllowance * deadline_;
  std::shared_ptr<Call> call;
  std::thread worker;
  try {
    call = std::make_shared<Call>();
    worker = std::thread([call, pool = pool_, image = std::move(image)] {
      call->knowThisThreadsClock();
      try {
        call->publish(
            recognizeWithPool(*pool, *image, call->abandoned,
                              [&call](const RecognitionOutcome& first) { call->publish(first); }));
      } catch (...) {
        // A failure of the engine or of memory: both absent.
        call->publish({});
      }
      call->signal.release();
      call->finished = true;
    });
  } catch (const std::exception&) {
    return {};  // no memory or no thread to start
  }

  // Looks at the worker's processor time a few times a second.
  constexpr auto kGlance = std::chrono::milliseconds(50);
  bool done = false;
  while (!done) {
    done = call->signal.tryAcquireUntil(
        std::min(std::chrono::steady_clock::now() + kGlance, waitingLimit));
    if (!done &&
        (std::chrono::steady_clock::now() >= waitingLimit || call->worked() >= deadline_)) {
      break;
    }
  }
  if (!done) {
    // The first reading, if it came in time, stands for the whole work.
    RecognitionOutcome inTime = call->take();
    LateWorker late{std::move(call), std::move(worker)};
    try {
      lateWorkers_.push_back(std::move(late));
    } catch (const std::bad_alloc&) {
      late.thread.detach();  // left untouched by the failed push
    }
    return inTime;
  }
  worker.join();  // it has signalled, so it is about to end
  return call->take();
}

void EngineRecognizer::joinFinishedLateWorkers() {
  std::erase_if(lateWorkers_, [](LateWorker& late) {
    if (!late.call->finished) {
      return false;
    }
    late.thread.join();
    return true;
  });
}

}  // namespace sorvi
