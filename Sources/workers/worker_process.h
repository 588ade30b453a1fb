#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sorvi {

// A child process that reads requests on its descriptor 3 and writes events
// on its descriptor 4. Its standard input, output and error are /dev/null,
// so nothing a library prints there can reach our output.
class WorkerProcess {
 public:
  WorkerProcess(std::string program, std::vector<std::string> argv, std::vector<std::string> env);
  ~WorkerProcess();
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  bool start();
  // Kills the child if it still runs and reaps it.
  void stop();
  [[nodiscard]] bool running() const { return pid_ > 0; }
  [[nodiscard]] int requestFd() const { return requestFd_; }
  [[nodiscard]] int eventFd() const { return eventFd_; }

 private:
  std::string program_;
  std::vector<std::string> argv_;
  std::vector<std::string> env_;
  pid_t pid_ = -1;
  int requestFd_ = -1;
  int eventFd_ = -1;
};

// Kills every worker process still running and waits a moment for each to
// be gone. Safe in a signal handler; the tool calls it just before it dies.
void killAllWorkers() noexcept;

}  // namespace sorvi
