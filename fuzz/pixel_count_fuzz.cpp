// Arbitrary bytes as the head of an image file, through the header probe the
// driver runs on paths near the end of its list (outside the workers'
// sandbox). Nothing may read out of bounds or loop, and a count that comes
// out is never zero.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "workers/pixel_count_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  int reads = 0;
  const auto pixels = sorvi::pixelCountFromHeader([&](std::uint64_t offset, std::size_t length) {
    ++reads;
    return offset < file.size() ? file.substr(offset, length) : std::string();
  });
  sorvi::fuzz::check(!pixels || *pixels > 0, "a pixel count of zero");
  sorvi::fuzz::check(reads <= 5000, "too many reads for one header");
  return 0;
}
