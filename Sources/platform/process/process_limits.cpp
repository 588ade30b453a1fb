#include "platform/process/process_limits.h"

#include <fcntl.h>
#include <malloc.h>
#include <seccomp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#define SORVI_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SORVI_ADDRESS_SANITIZER 1
#endif
#endif

namespace sorvi {
namespace {

#ifdef SORVI_ADDRESS_SANITIZER
// The sanitizer's shadow, red zones and quarantine add about as much again
// as the program's own memory; only a runaway worker is stopped.
constexpr std::uint64_t kResidentLimit = 3 * kMaxResidentBytes;
#else
// Below the bound by what can still grow between two looks.
constexpr std::uint64_t kResidentLimit = kMaxResidentBytes - (std::uint64_t{48} << 20);
#endif
constexpr auto kResidentCheckInterval = std::chrono::milliseconds(20);

std::uint64_t residentBytes(int statm) {
  char text[128] = {};
  const ssize_t n = ::pread(statm, text, sizeof text - 1, 0);
  if (n <= 0) return 0;
  unsigned long long size = 0;
  unsigned long long resident = 0;
  if (std::sscanf(text, "%llu %llu", &size, &resident) != 2) return 0;
  return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGE_SIZE));
}

// Memory the data limit does not see (shared or file mappings) or cannot
// limit (under the sanitizer) is caught here: a worker that grows beyond
// the bound is ended, as the kernel would end it when out of memory.
void watchResidentSize() {
  const int statm = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (statm < 0) return;
  std::thread([statm] {
    for (;;) {
      if (residentBytes(statm) > kResidentLimit) ::kill(::getpid(), SIGKILL);
      std::this_thread::sleep_for(kResidentCheckInterval);
    }
  }).detach();
}

bool deny(scmp_filter_ctx filter, int error, int syscall) {
  return seccomp_rule_add(filter, SCMP_ACT_ERRNO(error), syscall, 0) == 0;
}

bool denyWhenFlag(scmp_filter_ctx filter, int syscall, unsigned argument, std::uint64_t mask,
                  std::uint64_t value) {
  const scmp_arg_cmp comparison{argument, SCMP_CMP_MASKED_EQ, mask, value};
  return seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), syscall, 1, &comparison) == 0;
}

// Any open whose flags ask for writing, creating or truncating.
bool denyWritingOpens(scmp_filter_ctx filter, int syscall, unsigned flagsArgument) {
  return denyWhenFlag(filter, syscall, flagsArgument, O_ACCMODE, O_WRONLY) &&
         denyWhenFlag(filter, syscall, flagsArgument, O_ACCMODE, O_RDWR) &&
         denyWhenFlag(filter, syscall, flagsArgument, O_CREAT, O_CREAT) &&
         denyWhenFlag(filter, syscall, flagsArgument, O_TRUNC, O_TRUNC);
}

}  // namespace

void applyWorkerLimits() {
#ifdef __GLIBC__
  // One heap for all threads: the image a thread decodes and the copies the
  // recognition thread makes of it would otherwise grow two heaps, neither
  // able to reuse what the other freed (a batch of images peaked at 512 MB,
  // at 380 MB with one).
  ::mallopt(M_ARENA_MAX, 1);
#endif
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
#ifndef SORVI_ADDRESS_SANITIZER
  // Allocations beyond the bound fail at once, so a decompression bomb ends
  // in a failed allocation within seconds rather than in gigabytes.
  // Reserved but untouched address space (thread arenas) is not counted.
  const rlimit data{kWorkerDataBytes, kWorkerDataBytes};
  ::setrlimit(RLIMIT_DATA, &data);
#endif
  watchResidentSize();
}

bool enterSandbox() {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
  if (filter == nullptr) return false;
  const scmp_arg_cmp notLocal{0, SCMP_CMP_NE, AF_UNIX, 0};
  bool ok =
      seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(socket), 1, &notLocal) == 0 &&
      deny(filter, EPERM, SCMP_SYS(execve)) && deny(filter, EPERM, SCMP_SYS(execveat)) &&
      deny(filter, EACCES, SCMP_SYS(creat)) &&
      // Its flags sit behind a pointer the filter cannot read; callers
      // fall back to openat, which it can.
      deny(filter, ENOSYS, SCMP_SYS(openat2)) && denyWritingOpens(filter, SCMP_SYS(open), 1) &&
      denyWritingOpens(filter, SCMP_SYS(openat), 2);
  // Every thread, including the memory watch started before, gets the filter.
  ok = ok && seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1) == 0 && seccomp_load(filter) == 0;
  seccomp_release(filter);
  return ok;
}

void releaseFreeMemory(std::uint64_t heldBytes) {
#if defined(__GLIBC__) && !defined(SORVI_ADDRESS_SANITIZER)
  if (::mallinfo2().fordblks > heldBytes) ::malloc_trim(0);
#else
  (void)heldBytes;
#endif
}

}  // namespace sorvi
