#include "platform/process_limits.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

// Runs `check` in a child inside the sandbox; the child's exit code is the
// number of the first expectation that failed, 0 when all held.
int inSandbox(int (*check)()) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (!enterSandbox()) _exit(100);
    _exit(check());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST(Sandbox, RefusesNetworkProgramsAndWritingButKeepsReading) {
  const int failed = inSandbox([] {
    const int inet = socket(AF_INET, SOCK_STREAM, 0);
    if (inet >= 0 || errno != EACCES) return 1;
    if (socket(AF_INET6, SOCK_DGRAM, 0) >= 0) return 2;
    char* const argv[] = {const_cast<char*>("true"), nullptr};
    if (execv("/bin/true", argv) == 0 || errno != EPERM) return 3;
    if (open("/tmp/sorvi-sandbox-probe", O_WRONLY | O_CREAT, 0600) >= 0) return 4;
    if (open("/dev/null", O_RDWR) >= 0) return 5;
    if (openat(AT_FDCWD, "/tmp", O_RDONLY | O_TMPFILE | O_RDWR, 0600) >= 0) return 6;
    if (creat("/tmp/sorvi-sandbox-probe", 0600) >= 0) return 7;
    const int readable = open("/proc/self/status", O_RDONLY);
    if (readable < 0) return 8;
    char buffer[16];
    if (read(readable, buffer, sizeof buffer) <= 0) return 9;
    if (write(STDOUT_FILENO, "", 0) < 0) return 10;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 11;
    return 0;
  });
  EXPECT_EQ(failed, 0);
  EXPECT_NE(access("/tmp/sorvi-sandbox-probe", F_OK), 0);
}

#if !defined(__SANITIZE_ADDRESS__)
// Shared memory escapes the data limit (a failed allocation there is seen
// end to end); the watch still ends a worker that holds too much of it.
TEST(WorkerLimits, AWorkerGrowingBeyondTheResidentBoundIsEnded) {
  const pid_t pid = fork();
  if (pid == 0) {
    applyWorkerLimits();
    const std::size_t size = kMaxResidentBytes + (std::size_t{64} << 20);
    void* shared = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED) std::memset(shared, 1, size);
    sleep(2);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}
#endif

}  // namespace
}  // namespace sorvi
