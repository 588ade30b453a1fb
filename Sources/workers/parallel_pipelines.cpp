#include "workers/parallel_pipelines.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "images/image_pipeline.h"
#include "pdf/process_pdf.h"

namespace sorvi {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

std::chrono::milliseconds StepBounds::of(Step step) const {
  switch (step) {
    case Step::kOpen:
      return open;
    case Step::kRender:
      return render;
    case Step::kRecognize:
      return recognize;
  }
  return open;
}

ParallelPipelines::ParallelPipelines(WorkerFactory makeWorker, int jobs, StepBounds bounds,
                                     Output& output, PixelCounter countPixels)
    : makeWorker_(std::move(makeWorker)),
      countPixels_(std::move(countPixels)),
      bounds_(bounds),
      output_(output),
      slots_(static_cast<std::size_t>(std::max(jobs, 1))),
      // Paths finished ahead of a slow one wait in memory; this bounds them.
      window_(64 + 16 * slots_.size()),
      // Enough rounds for a file several times the usual size to start while
      // the other workers still have work. One worker finishes the list at the
      // same time in any order, so it keeps argument order.
      tail_(slots_.size() > 1 ? 8 * slots_.size() : 0) {}

void ParallelPipelines::processImage(const std::string& path) { addPath(path, false, {}); }

void ParallelPipelines::processPdf(const std::string& path) { addPath(path, true, {}); }

void ParallelPipelines::outputError(const std::string& path, std::string_view message) {
  addPath(path, false, std::string(message));
}

void ParallelPipelines::finish() {
  allAdded_ = true;
  while (!paths_.empty()) {
    dispatch();
    if (paths_.empty()) break;
    waitForEvents(true);
  }
  for (Slot& slot : slots_) slot.worker.reset();
}

void ParallelPipelines::addPath(std::string path, bool pdf, std::optional<std::string> error) {
  PathState added;
  added.path = std::move(path);
  added.pdf = pdf;
  added.complete = error.has_value();
  added.error = std::move(error);
  if (!added.complete) ++untaken_;
  paths_.push_back(std::move(added));
  writeCompleted();
  dispatch();
  waitForEvents(false);
  while (paths_.size() >= window_) {
    dispatch();
    waitForEvents(true);
  }
}

ParallelPipelines::PathState& ParallelPipelines::state(std::size_t path) {
  return paths_[path - firstUnwritten_];
}

std::optional<ParallelPipelines::Unit> ParallelPipelines::nextUnit() {
  // Pages of documents already begun go first, so their records are not
  // held back by later paths.
  if (!readyPages_.empty()) {
    const auto [path, page] = *readyPages_.begin();
    readyPages_.erase(readyPages_.begin());
    return Unit{path, page};
  }
  const std::optional<std::size_t> path =
      allAdded_ && untaken_ <= tail_ ? largestPathLeft() : nextPath();
  if (!path) return std::nullopt;
  state(*path).taken = true;
  --untaken_;
  return Unit{*path, -1};
}

std::optional<std::size_t> ParallelPipelines::nextPath() {
  nextPath_ = std::max(nextPath_, firstUnwritten_);
  for (; nextPath_ < firstUnwritten_ + paths_.size(); ++nextPath_) {
    const PathState& candidate = state(nextPath_);
    if (!candidate.complete && !candidate.taken) return nextPath_++;
  }
  return std::nullopt;
}

std::optional<std::size_t> ParallelPipelines::largestPathLeft() {
  std::optional<std::size_t> largest;
  std::uint64_t largestSize = 0;
  for (std::size_t path = std::max(nextPath_, firstUnwritten_);
       path < firstUnwritten_ + paths_.size(); ++path) {
    PathState& candidate = state(path);
    if (candidate.complete || candidate.taken) continue;
    const std::uint64_t candidateSize = size(candidate);
    if (!largest || candidateSize > largestSize) {
      largest = path;
      largestSize = candidateSize;
    }
  }
  return largest;
}

std::uint64_t ParallelPipelines::size(PathState& path) {
  // A document's pages are spread over the workers, so it goes first; an
  // image whose header cannot be read is likely to fail fast.
  if (!path.size) {
    path.size =
        path.pdf ? std::numeric_limits<std::uint64_t>::max() : countPixels_(path.path).value_or(0);
  }
  return *path.size;
}

void ParallelPipelines::dispatch() {
  for (Slot& slot : slots_) {
    while (!slot.unit) {
      const std::optional<Unit> unit = nextUnit();
      if (!unit) return;
      slot.unit = unit;
      slot.resent = false;
      if (!send(slot)) {
        slot.unit.reset();
        failUnit(*unit);
      }
    }
  }
}

bool ParallelPipelines::send(Slot& slot) {
  const Unit& unit = *slot.unit;
  const PathState& path = state(unit.path);
  FrameType request = FrameType::kImageRequest;
  std::string payload = path.path;
  if (unit.page >= 0) {
    request = FrameType::kPageRequest;
    payload = encodePageRequest({path.path, unit.page});
  } else if (path.pdf) {
    request = FrameType::kPageCountRequest;
  }
  slot.reader = FrameReader();
  slot.started = false;
  slot.result.reset();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!slot.worker) slot.worker = makeWorker_();
    if (!slot.worker->running() && !slot.worker->start()) return false;
    if (writeFrame(slot.worker->requestFd(), request, payload)) {
      slot.deadline = Clock::now() + bounds_.open;
      return true;
    }
    slot.worker->stop();
  }
  return false;
}

void ParallelPipelines::waitForEvents(bool block) {
  std::vector<pollfd> fds;
  std::vector<Slot*> busy;
  Clock::time_point earliest = Clock::time_point::max();
  for (Slot& slot : slots_) {
    if (!slot.unit) continue;
    fds.push_back({slot.worker->eventFd(), POLLIN, 0});
    busy.push_back(&slot);
    earliest = std::min(earliest, slot.deadline);
  }
  if (busy.empty()) return;
  // A reader gone while every line waits for a worker ends the run now,
  // not at the next line, which may be seconds away.
  const int watch = output_.readerWatch();
  if (watch >= 0) fds.push_back({watch, 0, 0});
  int timeout = 0;
  if (block) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(earliest - Clock::now());
    timeout = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60'000));
  }
  const int ready = ::poll(fds.data(), fds.size(), timeout);
  if (ready < 0 && errno != EINTR) return;
  if (ready > 0 && watch >= 0 && (fds.back().revents & (POLLERR | POLLHUP)) != 0) {
    output_.readerGone();
  }
  for (std::size_t i = 0; i < busy.size(); ++i) {
    if (ready > 0 && fds[i].revents != 0) readEvents(*busy[i]);
  }
  const Clock::time_point now = Clock::now();
  for (Slot* slot : busy) {
    if (slot->unit && now >= slot->deadline) endUnit(*slot, true);
  }
}

void ParallelPipelines::readEvents(Slot& slot) {
  const bool closed = slot.reader.fill(slot.worker->eventFd()) == FrameReader::Fill::kClosed;
  while (std::optional<Frame> frame = slot.reader.next()) {
    if (!handle(slot, *frame)) return;
  }
  if (!closed) return;
  // A worker that was gone before it took this unit has not tried it: a
  // fresh one does, once.
  if (!slot.started && !slot.resent) {
    slot.worker->stop();
    slot.resent = true;
    if (send(slot)) return;
  }
  endUnit(slot, true);
}

bool ParallelPipelines::handle(Slot& slot, const Frame& frame) {
  slot.started = true;
  const Unit unit = *slot.unit;
  const bool pdf = state(unit.path).pdf;
  switch (frame.type) {
    case FrameType::kStep:
      if (frame.payload.size() == 1) {
        slot.deadline = Clock::now() + bounds_.of(static_cast<Step>(frame.payload[0]));
      }
      return true;
    case FrameType::kLine:
    case FrameType::kPageCount:
    case FrameType::kPage: {
      const FrameType expected = unit.page >= 0 ? FrameType::kPage
                                 : pdf          ? FrameType::kPageCount
                                                : FrameType::kLine;
      if (frame.type != expected || slot.result) break;
      slot.result = frame;
      // After its result the worker only tidies up; give it the open bound.
      slot.deadline = Clock::now() + bounds_.open;
      return true;
    }
    case FrameType::kDone:
      endUnit(slot, false);
      return false;
    default:
      break;
  }
  endUnit(slot, true);
  return false;
}

void ParallelPipelines::endUnit(Slot& slot, bool workerLost) {
  const Unit unit = *slot.unit;
  slot.unit.reset();
  if (workerLost) slot.worker->stop();
  std::optional<Frame> result = std::move(slot.result);
  slot.result.reset();
  settle(unit, result, workerLost);
}

void ParallelPipelines::settle(const Unit& unit, const std::optional<Frame>& result,
                               bool workerLost) {
  PathState& path = state(unit.path);

  if (unit.page >= 0) {
    // A page whose worker was lost is skipped, like a page that cannot be drawn.
    std::optional<RecognitionOutcome>& page = path.pages[static_cast<std::size_t>(unit.page)];
    if (!result || !decodePageOutcome(result->payload, page)) page.reset();
    if (workerLost && !result) path.lostPages.insert(unit.page);
    skipPagesAfterLosses(unit.path);
    if (--path.pagesLeft == 0) completePath(unit.path);
  } else if (!path.pdf) {
    if (result) {
      path.line = result->payload;
    } else if (workerLost) {
      path.error = std::string(kImageLoadFailure);
    }
    // Otherwise the worker finished the image without a record to give.
    completePath(unit.path);
  } else {
    const int pages = result ? decodePageCount(result->payload).value_or(kUnopenable) : kUnopenable;
    if (pages == kUnopenable) {
      path.error = std::string(kCouldNotLoadPdf);
      completePath(unit.path);
      return;
    }
    path.pages.assign(static_cast<std::size_t>(pages), std::nullopt);
    path.pagesLeft = path.pages.size();
    for (int page = 0; page < pages; ++page) readyPages_.emplace(unit.path, page);
    if (path.pagesLeft == 0) completePath(unit.path);
  }
}

void ParallelPipelines::failUnit(const Unit& unit) { settle(unit, std::nullopt, true); }

void ParallelPipelines::skipPagesAfterLosses(std::size_t path) {
  constexpr std::size_t kLostPagesPerDocument = 2;
  PathState& document = state(path);
  if (document.lostPages.size() < kLostPagesPerDocument) return;
  const int last = *std::next(document.lostPages.begin(), kLostPagesPerDocument - 1);
  for (auto page = document.pages.begin() + last + 1; page != document.pages.end(); ++page) {
    page->reset();
  }
  // Pages not yet handed out are not read at all; those in flight are
  // dropped as they end.
  for (auto page = readyPages_.lower_bound({path, last + 1});
       page != readyPages_.end() && page->first == path;) {
    page = readyPages_.erase(page);
    --document.pagesLeft;
  }
}

void ParallelPipelines::completePath(std::size_t path) {
  state(path).complete = true;
  writeCompleted();
}

void ParallelPipelines::writeCompleted() {
  while (!paths_.empty() && paths_.front().complete) {
    const PathState& path = paths_.front();
    if (path.error) {
      output_.outputError(path.path, *path.error);
    } else if (path.pdf) {
      outputPdfPages(path.path, path.pages, output_);
    } else if (path.line) {
      output_.forwardLine(*path.line);
    }
    paths_.pop_front();
    ++firstUnwritten_;
  }
}

}  // namespace sorvi
