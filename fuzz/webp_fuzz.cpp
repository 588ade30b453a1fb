#include "image_fuzz.h"  // WebP files through the image layer
SORVI_IMAGE_FUZZ(sorvi::fuzz::checkImage<sorvi::ImageFormat::webp>(data, size))
