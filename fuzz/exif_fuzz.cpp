#include "image_fuzz.h"  // files of any format, for their metadata alone
SORVI_IMAGE_FUZZ(sorvi::initialiseImageLibraries();
                 if (const auto source = sorvi::FileImageSourceOpener().open(
                         sorvi::fuzz::inputFile(data, size))) sorvi::fuzz::checkMetadata(*source))
