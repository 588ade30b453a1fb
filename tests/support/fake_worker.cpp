// Speaks the worker protocol on descriptors 3 and 4 and misbehaves on
// request, so the supervision can be tested without real files. The path
// names the behaviour: "crash...", "hang...", "hang-recognizing...",
// "exit-after...", "line-then-crash...", "nan..." (no record), "sleep<ms>..."
// (answers after that long); anything else answers with a text record. A
// PDF has three pages, page k reading "p<k>"; in "hang-page<k>..." page k
// hangs in recognition, in "crash-page<k>..." it crashes (and so does page j
// in "crash-page<k>-crash-page<j>..."). With FAKE_WORKER_LOG set, each path
// is appended to that file as its unit starts.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "workers/step_observer.h"
#include "workers/worker_protocol.h"

namespace {

using sorvi::FrameType;

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

void step(sorvi::Step value) {
  const char byte = static_cast<char>(value);
  sorvi::writeFrame(4, FrameType::kStep, std::string(1, byte));
}

void hangInRecognition() {
  step(sorvi::Step::kRecognize);
  pause();
}

void page(const sorvi::PageRequest& request) {
  const std::string k = std::to_string(request.index);
  if (startsWith(request.path, "hang-page" + k)) hangInRecognition();
  if (request.path.find("crash-page" + k) != std::string::npos) std::abort();
  sorvi::writeFrame(4, FrameType::kPage,
                    sorvi::encodePageOutcome(sorvi::RecognitionOutcome{"p" + k, 0.5}));
}

void logStart(const std::string& path) {
  const char* log = std::getenv("FAKE_WORKER_LOG");
  if (log == nullptr) return;
  // One write to a file opened for appending, so workers never interleave.
  const int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  const std::string line = path + " ";
  if (fd >= 0 && ::write(fd, line.data(), line.size()) < 0) std::abort();
  if (fd >= 0) ::close(fd);
}

}  // namespace

int main() {
  while (auto request = sorvi::readFrame(3)) {
    step(sorvi::Step::kOpen);
    if (request->type == FrameType::kPageRequest) {
      page(*sorvi::decodePageRequest(request->payload));
      sorvi::writeFrame(4, FrameType::kDone, "");
      continue;
    }
    const std::string& path = request->payload;
    logStart(path);
    if (startsWith(path, "sleep")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(path.c_str() + 5)));
    }
    // A document whose page misbehaves is still counted.
    const bool pageFault = startsWith(path, "crash-page") || startsWith(path, "hang-page");
    if (startsWith(path, "crash") && !pageFault) std::abort();
    if (startsWith(path, "hang-recognizing")) hangInRecognition();
    if (startsWith(path, "hang") && !pageFault) pause();
    if (startsWith(path, "line-then-crash")) {
      sorvi::writeFrame(4, FrameType::kLine, R"({"path":"partial"})");
      std::abort();
    }
    if (request->type == FrameType::kPageCountRequest) {
      sorvi::writeFrame(4, FrameType::kPageCount, sorvi::encodePageCount(3));
    } else if (!startsWith(path, "nan")) {
      sorvi::writeFrame(4, FrameType::kLine, R"({"path":")" + path + R"(","text":"I"})");
    }
    sorvi::writeFrame(4, FrameType::kDone, "");
    if (startsWith(path, "exit-after")) return 0;
  }
  return 0;
}
