#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace sorvi::fuzz {

// Stops the run so that libFuzzer keeps the input as a crash; `detail` is
// printed in hex.
inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n  detail: ", what);
  for (const char c : detail) std::fprintf(stderr, "%02x", static_cast<unsigned char>(c));
  std::fprintf(stderr, "\n");
  std::abort();
}

}  // namespace sorvi::fuzz
