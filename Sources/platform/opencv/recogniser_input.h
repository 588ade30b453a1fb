#pragma once

#include <vector>

#include <opencv2/core.hpp>

namespace sorvi {

inline constexpr int kRecogniserHeight = 48;
// Input columns per output step of the recogniser.
inline constexpr int kRecogniserStride = 8;
// The narrowest input a line is padded to, and the widest: a longer line is
// read in windows of it.
inline constexpr int kRecogniserMinWidth = 160;
inline constexpr int kRecogniserMaxWidth = 960;

// The input width for each line of `columns` (at the recogniser's height),
// in the same order. Each new input width sets the recogniser up anew, which
// takes as long as reading about 85 columns, so lines of similar widths share
// the width of the widest of them: the widths chosen cost the least in
// columns read plus set-ups.
std::vector<int> recogniserInputWidths(const std::vector<int>& columns);

// A 4-channel line image resized to the recogniser's height, its aspect
// ratio kept (the width rounded up).
cv::Mat lineAtRecogniserHeight(const cv::Mat& rgbaLine);

// The recogniser's input of `width` columns: the line (already at its
// height) at the left as normalised blue, green and red planes, the rest 0.
cv::Mat recogniserBlob(const cv::Mat& rgbaLine, int width);

// One window of a line wider than the widest recogniser: where it starts in
// the line, and the output steps it contributes to the reading.
struct LineWindow {
  int start = 0;
  int firstStep = 0;
  int endStep = 0;
};

// Windows of `width` columns over a line of `lineWidth` (wider), starting
// every `width - overlap` columns, the last one ending with the line. Each
// window's steps run from the middle of its overlap with the one before to
// where the next one's begin, so every step of the line is read once, with
// context on both sides. `stride` is the columns per output step; the
// overlap a multiple of twice that.
std::vector<LineWindow> lineWindows(int lineWidth, int width, int overlap, int stride);

}  // namespace sorvi
