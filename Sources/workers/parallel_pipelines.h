#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/driver.h"
#include "output/output.h"
#include "recognition/recognizer.h"
#include "workers/step_observer.h"
#include "workers/worker_process.h"
#include "workers/worker_protocol.h"

namespace sorvi {

// How long each step of a unit may run before its worker is killed.
struct StepBounds {
  std::chrono::milliseconds open{30'000};
  std::chrono::milliseconds render{30'000};
  // Recognition gives up by itself after 10 s of work, or 30 s on the
  // clock; this only catches a worker that failed to.
  std::chrono::milliseconds recognize{35'000};

  [[nodiscard]] std::chrono::milliseconds of(Step step) const;
};

// Runs the paths in up to `jobs` worker processes at once and writes their
// records to `output` in the order the paths were given, each as soon as it
// and every record before it are known.
//
// The work is cut into units, each done by one worker while it does nothing
// else: an image; counting a PDF's pages; one page of a PDF. A document's
// pages are spread over the free workers and joined in page order, so at
// most `jobs` recognitions ever run at once.
//
// A worker that crashes, runs out of memory or overruns a step is killed and
// costs only its unit: an image or a document that cannot be counted gets
// its load-failure record, a page is skipped like any page that cannot be
// drawn. A fresh worker takes the next unit. Once a second page of one
// document has cost its worker, the pages after it are skipped too, so a file
// that hangs every page costs two step bounds, not fifty; which pages count
// follows page order alone, so the record does not depend on the job count.
//
// Paths are handed out in argument order, except at the very end of the
// list: there the largest go first (documents, then images by pixel count),
// so that one large file taken last does not keep a single core busy while
// the others wait.
class ParallelPipelines : public Pipelines {
 public:
  using WorkerFactory = std::function<std::unique_ptr<WorkerProcess>()>;
  // An image's pixel count, when it can be told without decoding it.
  using PixelCounter = std::function<std::optional<std::uint64_t>(const std::string& path)>;

  ParallelPipelines(WorkerFactory makeWorker, int jobs, StepBounds bounds, Output& output,
                    PixelCounter countPixels);

  void processImage(const std::string& path) override;
  void processPdf(const std::string& path) override;
  void outputError(const std::string& path, std::string_view message) override;
  void finish() override;

 private:
  struct PathState {
    std::string path;
    bool pdf = false;
    bool taken = false;
    bool complete = false;
    std::optional<std::string> error;
    std::optional<std::string> line;  // an image's record, as the worker wrote it
    std::vector<std::optional<RecognitionOutcome>> pages;
    std::size_t pagesLeft = 0;
    std::set<int> lostPages;            // pages whose worker was lost
    std::optional<std::uint64_t> size;  // how large it looks, once asked
  };

  // One unit: a whole path (page < 0) or one page of a PDF.
  struct Unit {
    std::size_t path = 0;
    int page = -1;
  };

  struct Slot {
    std::unique_ptr<WorkerProcess> worker;
    std::optional<Unit> unit;
    FrameReader reader;
    bool started = false;  // the worker has taken the unit
    bool resent = false;
    std::optional<Frame> result;
    std::chrono::steady_clock::time_point deadline;
  };

  void addPath(std::string path, bool pdf, std::optional<std::string> error);
  PathState& state(std::size_t path);
  std::optional<Unit> nextUnit();
  std::optional<std::size_t> nextPath();
  std::optional<std::size_t> largestPathLeft();
  std::uint64_t size(PathState& path);
  void dispatch();
  bool send(Slot& slot);
  void waitForEvents(bool block);
  void readEvents(Slot& slot);
  // Handles one frame; false when the unit is over.
  bool handle(Slot& slot, const Frame& frame);
  void endUnit(Slot& slot, bool workerLost);
  // Records what became of `unit`: its result, or none when the worker was
  // lost or ended it without one.
  void settle(const Unit& unit, const std::optional<Frame>& result, bool workerLost);
  void failUnit(const Unit& unit);
  void skipPagesAfterLosses(std::size_t path);
  void completePath(std::size_t path);
  void writeCompleted();

  WorkerFactory makeWorker_;
  PixelCounter countPixels_;
  StepBounds bounds_;
  Output& output_;
  std::vector<Slot> slots_;
  std::size_t window_;
  std::size_t tail_;  // how many paths left count as the end of the list
  bool allAdded_ = false;
  std::size_t untaken_ = 0;  // paths waiting for a worker

  std::deque<PathState> paths_;  // from firstUnwritten_ on
  std::size_t firstUnwritten_ = 0;
  std::size_t nextPath_ = 0;                          // the first path not yet taken, or later
  std::set<std::pair<std::size_t, int>> readyPages_;  // pages waiting for a worker
};

}  // namespace sorvi
