// Any quadrilateral on images that end at an unreadable page. See README.md.
#include "fuzz_check.h"
#include "platform/opencv/line_crop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int width = input.ConsumeIntegralInRange(1, 64),
            height = input.ConsumeIntegralInRange(1, 64);
  sorvi::TextBox box;
  input.ConsumeData(box.corners.data(), sizeof(box.corners));
  constexpr std::size_t kBytes = std::size_t{64} * 64 * 4;  // whole pages, then the guard
  static auto* const pages = static_cast<std::uint8_t*>(
      mmap(nullptr, kBytes + 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  static const bool open =
      pages != MAP_FAILED && mprotect(pages, kBytes, PROT_READ | PROT_WRITE) == 0;
  cv::Mat image(height, width, CV_8UC4, pages + kBytes - std::size_t{4} * width * height);
  image.forEach<cv::Vec4b>([](cv::Vec4b& pixel, const int* at) {
    pixel = {uchar(at[0]), uchar(at[1]), 0, 255};
  });
  const cv::Size side = sorvi::lineCropSize(box);
  if (!open || static_cast<double>(side.width) * side.height > 1 << 16)
    return 0;  // memory, not safety
  const cv::Mat crop = sorvi::uprightLineCrop(image, box);
  sorvi::fuzz::check(crop.empty() || (crop.size() == side && crop.type() == CV_8UC4), "crop size");
  return 0;
}
