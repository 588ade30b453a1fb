#include "platform/opencv/opencv_setup.h"

#include <mutex>

#include <opencv2/core/utility.hpp>
#include <opencv2/core/utils/logger.hpp>

#include "platform/opencv/depthwise_5x5_layer.h"
#include "platform/opencv/hard_swish_layer.h"

namespace sorvi {

void setUpOpenCv() {
  cv::setNumThreads(1);
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  // The layer factory refuses a type registered twice.
  static std::once_flag registered;
  std::call_once(registered, [] {
    cv::dnn::LayerFactory::registerLayer(kHardSwishTimesSixLayer, makeHardSwishLayer);
    cv::dnn::LayerFactory::registerLayer(kDepthwise5x5Layer, makeDepthwise5x5Layer);
  });
}

}  // namespace sorvi
