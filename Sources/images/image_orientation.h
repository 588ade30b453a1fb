#pragma once

#include "recognition/raster_image.h"

namespace sorvi {

// Turns an image stored with the EXIF/TIFF Orientation `orientation` (1-8)
// into the image a viewer shows. Other values leave it as stored.
RasterImage applyOrientation(RasterImage stored, int orientation);

}  // namespace sorvi
