// Class scores as raw float bits. See README.md.
#include "fuzz_check.h"
#include "platform/opencv/ctc_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using sorvi::fuzz::check;
  FuzzedDataProvider input(data, size);
  std::vector<std::string> classes{"", "\xC3\xA4", "a", "b", "c", "d", "e", "f", " "};
  classes.erase(classes.begin() + input.ConsumeIntegralInRange(1, 8), classes.end() - 1);
  const std::size_t steps = input.remaining_bytes() / sizeof(float) / classes.size();
  std::vector<float> scores(steps * classes.size() + 1);  // never empty
  input.ConsumeData(scores.data(), (scores.size() - 1) * sizeof(float));
  const auto read = sorvi::decodeCtc(scores.data(), static_cast<int>(steps), classes);
  check(read.text.find_first_not_of("\xC3\xA4 abcdef") == std::string::npos, "other", read.text);
  check(!read.text.starts_with(' ') && !read.text.ends_with(' '), "outer space", read.text);
  check(!read.text.empty() || read.confidence == 0.0F, "confidence without text");
  check(read.confidence >= 0.0F && read.confidence <= 1.0F, "confidence not a probability");
  return 0;
}
