#include "workers/worker_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <cerrno>
#include <utility>

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
  requestFd_ = requests[1];
  eventFd_ = events[0];
  return true;
}

void WorkerProcess::stop() {
  closeIfOpen(requestFd_);
  closeIfOpen(eventFd_);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
}

}  // namespace sorvi
