#include "image_fuzz.h"  // TIFF files through the image layer
SORVI_IMAGE_FUZZ(sorvi::fuzz::checkImage<sorvi::ImageFormat::tiff>(data, size))
