// Heads of image files through the header probe of the driver. See README.md.
#include "fuzz_check.h"
#include "workers/pixel_count_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  int reads = 0;
  const auto pixels = sorvi::pixelCountFromHeader([&](std::uint64_t offset, std::size_t length) {
    ++reads;
    return offset < file.size() ? file.substr(offset, length) : std::string();
  });
  sorvi::fuzz::check((!pixels || *pixels > 0) && reads <= 5000, "a count of zero, or reads");
  return 0;
}
