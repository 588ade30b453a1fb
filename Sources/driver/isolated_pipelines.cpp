#include "driver/isolated_pipelines.h"

#include <poll.h>

#include <cerrno>

namespace sorvi {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kImageFailure = "Could not load image";
constexpr std::string_view kPdfFailure = "Could not load PDF";

// Waits until `fd` is readable or `deadline` passes; false on timeout.
bool waitReadable(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // let the read report it
  }
}

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

void IsolatedPipelines::processImage(const std::string& path, Output& output) {
  process(FrameType::kImageRequest, path, kImageFailure, output);
}

void IsolatedPipelines::processPdf(const std::string& path, Output& output) {
  process(FrameType::kPdfRequest, path, kPdfFailure, output);
}

bool IsolatedPipelines::send(FrameType request, const std::string& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!worker_->running() && !worker_->start()) return false;
    if (writeFrame(worker_->requestFd(), request, path)) return true;
    worker_->stop();
  }
  return false;
}

IsolatedPipelines::Outcome IsolatedPipelines::attempt(FrameType request, const std::string& path,
                                                      Output& output) {
  if (!send(request, path)) return Outcome::kFailed;
  FrameReader reader;
  bool started = false;
  auto deadline = Clock::now() + bounds_.open;
  for (;;) {
    while (std::optional<Frame> frame = reader.next()) {
      started = true;
      switch (frame->type) {
        case FrameType::kStep:
          if (frame->payload.size() == 1) {
            deadline = Clock::now() + bounds_.of(static_cast<Step>(frame->payload[0]));
          }
          break;
        case FrameType::kLine:
          output.forwardLine(frame->payload);
          return finish(reader) ? Outcome::kDone : Outcome::kPrinted;
        case FrameType::kDone:
          return Outcome::kDone;
        default:
          return Outcome::kFailed;
      }
    }
    if (!waitReadable(worker_->eventFd(), deadline)) return Outcome::kFailed;
    if (reader.fill(worker_->eventFd()) == FrameReader::Fill::kClosed) {
      return started ? Outcome::kFailed : Outcome::kNotStarted;
    }
  }
}

bool IsolatedPipelines::finish(FrameReader& reader) {
  // After its record the worker only tidies up; give it the open bound.
  const auto deadline = Clock::now() + bounds_.open;
  for (;;) {
    while (std::optional<Frame> frame = reader.next()) {
      if (frame->type == FrameType::kDone) return true;
    }
    if (!waitReadable(worker_->eventFd(), deadline) ||
        reader.fill(worker_->eventFd()) == FrameReader::Fill::kClosed) {
      return false;
    }
  }
}

void IsolatedPipelines::process(FrameType request, const std::string& path,
                                std::string_view failure, Output& output) {
  Outcome outcome = attempt(request, path, output);
  // A worker that died after its previous path, before it took this one,
  // has not tried this path: a fresh one does.
  if (outcome == Outcome::kNotStarted) {
    worker_->stop();
    outcome = attempt(request, path, output);
  }
  if (outcome == Outcome::kDone) return;
  worker_->stop();
  if (outcome != Outcome::kPrinted) output.outputError(path, failure);
}

}  // namespace sorvi
