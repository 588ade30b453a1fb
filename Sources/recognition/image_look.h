#pragma once

#include "recognition/raster_image.h"

namespace sorvi {

// How an image looks at a glance, from a sample of at most about 65,000 of
// its pixels (over white where transparent).
struct ImageLook {
  // The share that is nearly colourless and light, or dark where more of it
  // is dark: scans, rendered pages and screens in light or dark themes are
  // mostly paper, photos seldom.
  double paper = 0;
  // Drawn by a program, not taken by a camera or a scanner: a few exact
  // colours (background, text, a panel) cover nearly all of it, and smoothed
  // edges add many more. Sensor noise leaves no colour so common; a page
  // scanned to black and white has no smoothed edges.
  bool rendered = false;
};
ImageLook lookAt(const RasterImage& image);

}  // namespace sorvi
