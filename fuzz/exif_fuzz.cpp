// Arbitrary bytes as an image file, through the real image-properties layer
// (format detection, exiv2, libheif for HEIF) and `extractExif`. Nothing may
// crash, and metadata that comes out is at least one fact, a position of two
// numbers with six decimals, and a record the JSON writer accepts.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <regex>

#include "fuzz_check.h"
#include "metadata/extract_exif.h"
#include "output/json_encoder.h"
#include "platform/images/image_file_source.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  sorvi::initialiseImageLibraries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using sorvi::fuzz::check;
  // The layer opens files by path: an in-memory one, rewritten per input.
  static const int fd = memfd_create("sorvi-fuzz-input", MFD_CLOEXEC);
  check(fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size),
        "cannot write the input file");
  const auto source = sorvi::FileImageSourceOpener().open("/proc/self/fd/" + std::to_string(fd));
  if (!source) return 0;
  const std::optional<sorvi::ExifData> exif = sorvi::extractExif(source->firstImageProperties());
  if (!exif) return 0;
  check(exif->date_taken || exif->gps, "empty metadata record");
  static const std::regex kPosition(R"(-?[0-9]+\.[0-9]{6},-?[0-9]+\.[0-9]{6})");
  check(!exif->gps || std::regex_match(*exif->gps, kPosition), "position not %.6f,%.6f",
        exif->gps.value_or(""));
  check(sorvi::JsonEncoder{}.encode({"fuzz.jpg", {}, {}, exif, {}}).has_value(),
        "metadata record refused by the writer");
  return 0;
}
