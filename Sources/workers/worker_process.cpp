#include "workers/worker_process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <utility>

#include "workers/worker_setup.h"

namespace sorvi {
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  result.reserve(strings.size() + 1);
  for (auto& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

void closeIfOpen(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The running workers, for a signal handler to kill: lock-free, of fixed
// size. A pid leaves before it is reaped, so it never names another process.
std::array<std::atomic<pid_t>, kMaxJobs> liveWorkers{};
static_assert(std::atomic<pid_t>::is_always_lock_free);

void recordWorker(pid_t pid) {
  for (auto& entry : liveWorkers) {
    pid_t free = 0;
    if (entry.compare_exchange_strong(free, pid)) return;
  }
  // No room: the worker still dies with us by its parent-death signal.
}

void forgetWorker(pid_t pid) {
  for (auto& entry : liveWorkers) {
    pid_t recorded = pid;
    if (entry.compare_exchange_strong(recorded, 0)) return;
  }
}

// The child tells errno to the tool and ends.
[[noreturn]] void failBeforeExec(int report) {
  const int error = errno;
  while (::write(report, &error, sizeof error) < 0 && errno == EINTR) {
  }
  ::_exit(127);
}

// In the child between fork and exec: only async-signal-safe calls. The
// worker dies with the tool from here on, while the program loads too; a
// tool already gone has nobody to work for. `fds`: the ends of the request and
// event pipes, and where to tell a failure.
[[noreturn]] void becomeWorker(pid_t parent, const std::array<int, 3>& fds, const char* program,
                               char* const* argv, char* const* envp) {
  int report = fds[2];
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) failBeforeExec(report);
  // Above the descriptors they go to, whatever ours were.
  const int high = ::fcntl(report, F_DUPFD_CLOEXEC, 5);
  if (high < 0) failBeforeExec(report);
  report = high;
  const int requests = ::fcntl(fds[0], F_DUPFD_CLOEXEC, 5);
  const int events = ::fcntl(fds[1], F_DUPFD_CLOEXEC, 5);
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (requests < 0 || events < 0 || null < 0) failBeforeExec(report);
  // dup2 clears close-on-exec on the copies.
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::dup2(null, fd) < 0) failBeforeExec(report);
  }
  if (::dup2(requests, 3) < 0 || ::dup2(events, 4) < 0) failBeforeExec(report);
  // Default handling of every signal, whatever ours is.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &fallback, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(program, argv, envp);
  failBeforeExec(report);
}

}  // namespace

WorkerProcess::WorkerProcess(std::string program, std::vector<std::string> argv,
                             std::vector<std::string> env)
    : program_(std::move(program)), argv_(std::move(argv)), env_(std::move(env)) {}

WorkerProcess::~WorkerProcess() { stop(); }

bool WorkerProcess::start() {
  stop();
  int requests[2];
  int events[2];
  if (::pipe2(requests, O_CLOEXEC) != 0) return false;
  if (::pipe2(events, O_CLOEXEC) != 0) {
    ::close(requests[0]);
    ::close(requests[1]);
    return false;
  }

  // Closed by the exec; an error number before it means the worker never ran.
  int failure[2];
  if (::pipe2(failure, O_CLOEXEC) != 0) {
    for (const int fd : {requests[0], requests[1], events[0], events[1]}) ::close(fd);
    return false;
  }
  std::vector<char*> argv = pointers(argv_);
  std::vector<char*> envp = pointers(env_);
  // Held back until the child is recorded, so that a signal handler that
  // ends the tool finds it.
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, signal);
  sigset_t previous;
  ::sigprocmask(SIG_BLOCK, &ending, &previous);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    becomeWorker(parent, {requests[0], events[1], failure[1]}, program_.c_str(), argv.data(),
                 envp.data());
  }
  if (pid > 0) recordWorker(pid);
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  ::close(requests[0]);
  ::close(events[1]);
  ::close(failure[1]);
  int error = 0;
  ssize_t got = -1;
  while (pid > 0 && (got = ::read(failure[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(failure[0]);
  if (pid < 0 || got != 0) {
    if (pid > 0) {
      forgetWorker(pid);
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    ::close(requests[1]);
    ::close(events[0]);
    return false;
  }
  pid_ = pid;
  requestFd_ = requests[1];
  eventFd_ = events[0];
  return true;
}

void WorkerProcess::stop() {
  closeIfOpen(requestFd_);
  closeIfOpen(eventFd_);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    forgetWorker(pid_);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
}

void killAllWorkers() noexcept {
  for (auto& entry : liveWorkers) {
    if (const pid_t pid = entry.load(); pid > 0) ::kill(pid, SIGKILL);
  }
  // Reaped here, so whoever waits for the tool finds its workers gone too.
  // A worker stuck in the kernel does not hold the tool for more than 2 s.
  const timespec pause{0, 2'000'000};
  for (int round = 0; round < 1000; ++round) {
    bool left = false;
    for (auto& entry : liveWorkers) {
      const pid_t pid = entry.load();
      if (pid <= 0) continue;
      const pid_t reaped = ::waitpid(pid, nullptr, WNOHANG);
      if (reaped == pid || (reaped < 0 && errno != EINTR)) {
        entry.store(0);
      } else {
        left = true;
      }
    }
    if (!left) return;
    ::nanosleep(&pause, nullptr);
  }
}

}  // namespace sorvi
