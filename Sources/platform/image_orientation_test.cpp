#include "platform/image_orientation.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

// A 3x2 image whose pixels are numbered 1-6 in their red byte:
//   1 2 3
//   4 5 6
RasterImage numbered() {
  RasterImage image;
  image.width = 3;
  image.height = 2;
  for (std::uint8_t n = 1; n <= 6; ++n) image.rgba.insert(image.rgba.end(), {n, 0, 0, 255});
  return image;
}

std::vector<int> redOf(const RasterImage& image) {
  std::vector<int> red;
  for (std::size_t i = 0; i < image.rgba.size(); i += 4) red.push_back(image.rgba[i]);
  return red;
}

TEST(ImageOrientation, EachOfTheEightValuesShowsTheImageAsAViewerWould) {
  struct Case {
    int orientation;
    int width;
    std::vector<int> shown;
  };
  // The stored image under each tag, turned the way the tag says.
  const std::vector<Case> cases = {
      {1, 3, {1, 2, 3, 4, 5, 6}},  //
      {2, 3, {3, 2, 1, 6, 5, 4}},  // mirrored
      {3, 3, {6, 5, 4, 3, 2, 1}},  // upside down
      {4, 3, {4, 5, 6, 1, 2, 3}},  // flipped
      {5, 2, {1, 4, 2, 5, 3, 6}},  // transposed
      {6, 2, {4, 1, 5, 2, 6, 3}},  // turned clockwise
      {7, 2, {6, 3, 5, 2, 4, 1}},  // transversed
      {8, 2, {3, 6, 2, 5, 1, 4}},  // turned anticlockwise
      {0, 3, {1, 2, 3, 4, 5, 6}},  // out of range: as stored
      {9, 3, {1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    const RasterImage shown = applyOrientation(numbered(), c.orientation);
    EXPECT_EQ(shown.width, c.width) << c.orientation;
    EXPECT_EQ(shown.height, 6 / c.width) << c.orientation;
    EXPECT_EQ(redOf(shown), c.shown) << c.orientation;
  }
}

}  // namespace
}  // namespace sorvi
