#include "workers/worker_process.h"

#include <fcntl.h>
#include <spawn.h>
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

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // dup2 clears close-on-exec on the copies.
  posix_spawn_file_actions_adddup2(&actions, requests[0], 3);
  posix_spawn_file_actions_adddup2(&actions, events[1], 4);

  // The child starts with default signal handling whatever ours is.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> argv = pointers(argv_);
  std::vector<char*> envp = pointers(env_);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, program_.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(requests[0]);
  ::close(events[1]);
  if (spawned != 0) {
    ::close(requests[1]);
    ::close(events[0]);
    return false;
  }
  pid_ = pid;
  recordWorker(pid);
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
