#include "platform/process_limits.h"

#include <fcntl.h>
#include <seccomp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define SORVI_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SORVI_ADDRESS_SANITIZER 1
#endif
#endif

namespace sorvi {
namespace {

constexpr std::uint64_t kGiB = 1ULL << 30;
constexpr std::uint64_t kMaxAddressSpace = 8 * kGiB;

[[maybe_unused]] std::uint64_t addressSpaceLimit() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kMaxAddressSpace;
  const std::uint64_t physical =
      static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
  // Tesseract's engines and their threads need some room whatever the machine.
  return std::clamp(physical / 2, 2 * kGiB, kMaxAddressSpace);
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
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
#ifndef SORVI_ADDRESS_SANITIZER
  const rlim_t limit = addressSpaceLimit();
  const rlimit addressSpace{limit, limit};
  ::setrlimit(RLIMIT_AS, &addressSpace);
#endif
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
  ok = ok && seccomp_load(filter) == 0;
  seccomp_release(filter);
  return ok;
}

}  // namespace sorvi
