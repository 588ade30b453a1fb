#include "recognition/engine_recognizer.h"

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "recognition/condense_observations.h"
#include "recognition/timed_semaphore.h"

namespace sorvi {

// The state one call shares with its worker. The worker writes the cells
// before it signals; the caller reads them only after a wait that did not
// time out, so a late worker writes into live cells that nobody reads.
struct EngineRecognizer::Call {
  TimedSemaphore signal{0};
  std::optional<std::string> text;
  std::optional<double> confidence;
  std::atomic<bool> abandoned{false};
  std::atomic<bool> finished{false};
};

namespace {

// Two idle instances cover the next image while one abandoned recognition
// is still winding down; more would only hold memory.
constexpr std::size_t kMaxIdleEngines = 2;

EngineOutput recognizeWithPool(EnginePool& pool, const RasterImage& image,
                               const std::atomic<bool>& abandoned) {
  std::unique_ptr<TextEngine> engine = pool.take();
  if (!engine) {
    return {.failed = true, .results = std::nullopt};
  }
  EngineOutput output = engine->recognize(image, abandoned);
  pool.giveBack(std::move(engine));
  return output;
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

  std::shared_ptr<Call> call;
  std::thread worker;
  try {
    call = std::make_shared<Call>();
    worker = std::thread([call, pool = pool_, image = std::move(image)] {
      try {
        const RecognitionOutcome outcome =
            condenseObservations(recognizeWithPool(*pool, *image, call->abandoned));
        call->text = outcome.text;
        call->confidence = outcome.confidence;
      } catch (...) {
        // A failure of the engine or of memory: the cells stay absent.
        call->text.reset();
        call->confidence.reset();
      }
      call->signal.release();
      call->finished = true;
    });
  } catch (const std::exception&) {
    return {};  // no memory or no thread to start
  }

  const auto deadline = std::chrono::steady_clock::now() + deadline_;
  if (!call->signal.tryAcquireUntil(deadline)) {
    call->abandoned = true;
    LateWorker late{std::move(call), std::move(worker)};
    try {
      lateWorkers_.push_back(std::move(late));
    } catch (const std::bad_alloc&) {
      late.thread.detach();  // left untouched by the failed push
    }
    return {};
  }
  worker.join();  // it has signalled, so it is about to end
  return {std::move(call->text), call->confidence};
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
