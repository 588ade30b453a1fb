#include "workers/termination.h"

#include <unistd.h>

#include <csignal>

#include "workers/worker_process.h"

namespace sorvi {
namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onTerminationSignal(int signal) { endWorkersAndDie(signal); }

}  // namespace

void endWorkersAndDie(int signal) noexcept {
  killAllWorkers();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

void endWorkersOnTerminationSignals() {
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  // One at a time: a second signal waits for the first to end the tool.
  sigemptyset(&action.sa_mask);
  for (const int signal : kTerminationSignals) sigaddset(&action.sa_mask, signal);
  for (const int signal : kTerminationSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
      ::sigaction(signal, &action, nullptr);
    }
  }
}

}  // namespace sorvi
