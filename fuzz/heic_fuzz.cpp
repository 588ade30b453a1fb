#include "image_fuzz.h"  // HEIF files through the image layer
SORVI_IMAGE_FUZZ(sorvi::fuzz::checkImage<sorvi::ImageFormat::heif>(data, size))
