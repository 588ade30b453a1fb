// Probability maps, a byte a pixel, for images of any size. See README.md.
#include "fuzz_check.h"
#include "platform/opencv/line_crop.h"
#include "platform/opencv/probability_boxes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using sorvi::fuzz::check;
  FuzzedDataProvider input(data, size);
  const int width = input.ConsumeIntegralInRange(1, 5000),
            height = input.ConsumeIntegralInRange(1, 5000);
  const sorvi::BoxSettings settings{.maxRegions = input.ConsumeIntegralInRange(1, 50)};
  cv::Mat map(input.ConsumeIntegralInRange(1, 64), input.ConsumeIntegralInRange(1, 64), CV_32F);
  std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(map.total());
  bytes.resize(map.total());
  constexpr float kOdd[] = {NAN, INFINITY, -1.0F, 2.0F};  // for the top four bytes
  std::transform(bytes.begin(), bytes.end(), map.begin<float>(), [&](std::uint8_t b) {
    return b < 252 ? static_cast<float>(b) / 251.0F : kOdd[b - 252];
  });
  const auto boxes = sorvi::boxesFromProbabilityMap(map, {width, height}, settings);
  check(boxes.size() <= static_cast<std::size_t>(settings.maxRegions), "more boxes than regions");
  const cv::Rect2f inside(0.0F, 0.0F, static_cast<float>(width), static_cast<float>(height));
  for (const sorvi::TextBox& box : boxes) {
    check(std::isfinite(box.score) && box.score >= settings.boxThreshold, "score");
    for (const auto [x, y] : box.corners) check(inside.contains({x, y}), "corner");
    check(sorvi::lineCropSize(box).width > 3 && sorvi::lineCropSize(box).height > 3, "a speck");
  }
  return 0;
}
