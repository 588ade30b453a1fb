#include "image_fuzz.h"  // JPEG files through the image layer
SORVI_IMAGE_FUZZ(sorvi::fuzz::checkImage<sorvi::ImageFormat::jpeg>(data, size))
