#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace sorvi::fuzz {

// Stops the run so that libFuzzer keeps the input; `detail` is printed in hex.
inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n  detail: ", what);
  for (const char c : detail) std::fprintf(stderr, "%02x", static_cast<unsigned char>(c));
  std::fprintf(stderr, "\n");
  std::abort();
}

// The layers open files by path: an in-memory file, rewritten per input.
inline std::string inputFile(const std::uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("sorvi-fuzz-input", MFD_CLOEXEC);
  check(fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size),
        "cannot write the input file");
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace sorvi::fuzz
