#include "platform/opencv/opencv_threads.h"

#include <opencv2/core/utility.hpp>

namespace sorvi {

void keepOpenCvOnCallingThread() { cv::setNumThreads(1); }

}  // namespace sorvi
