#include "image_fuzz.h"  // PNG files through the image layer
SORVI_IMAGE_FUZZ(sorvi::fuzz::checkImage<sorvi::ImageFormat::png>(data, size))
