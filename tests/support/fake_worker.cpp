// Speaks the worker protocol on descriptors 3 and 4 and misbehaves on
// request, so the driver's supervision can be tested without real files.
// The path names the behaviour: "crash...", "hang...", "hang-recognizing...",
// "exit-after...", "nan...", anything else answers with a text record.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "driver/step_observer.h"
#include "driver/worker_protocol.h"

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

void step(sorvi::Step value) {
  const char byte = static_cast<char>(value);
  sorvi::writeFrame(4, sorvi::FrameType::kStep, std::string(1, byte));
}

}  // namespace

int main() {
  while (auto request = sorvi::readFrame(3)) {
    const std::string& path = request->payload;
    step(sorvi::Step::kOpen);
    if (startsWith(path, "crash")) std::abort();
    if (startsWith(path, "hang-recognizing")) {
      step(sorvi::Step::kRecognize);
      pause();
    }
    if (startsWith(path, "hang")) pause();
    if (startsWith(path, "line-then-crash")) {
      sorvi::writeFrame(4, sorvi::FrameType::kLine, "{\"path\":\"partial\"}");
      std::abort();
    }
    if (!startsWith(path, "nan")) {
      const char kind = static_cast<char>(request->type);
      sorvi::writeFrame(4, sorvi::FrameType::kLine,
                        "{\"path\":\"" + path + "\",\"text\":\"" + kind + "\"}");
    }
    sorvi::writeFrame(4, sorvi::FrameType::kDone, "");
    if (startsWith(path, "exit-after")) return 0;
  }
  return 0;
}
