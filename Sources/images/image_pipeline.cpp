#include "images/image_pipeline.h"

#include <utility>

#include "metadata/extract_exif.h"

namespace sorvi {

void processImage(const std::string& path, ImageSourceOpener& opener, Recognizer& recognizer,
                  Output& output) {
  std::unique_ptr<ImageSource> source;
  std::shared_ptr<const RasterImage> image;
  try {
    source = opener.open(path);
    if (source) image = source->decodeFirstImage();
  } catch (...) {
    image = nullptr;  // running out of memory while decoding is a load failure too
  }
  if (!image) {
    output.outputError(path, kImageLoadFailure);
    return;
  }

  // Metadata first, so recognition can take its time with the file closed.
  std::optional<ExifData> exif;
  try {
    exif = extractExif(source->firstImageProperties());
  } catch (...) {
    exif = std::nullopt;
  }
  source.reset();

  RecognitionOutcome outcome = recognizer.ocrImage(std::move(image));
  output.outputResult(path, std::move(outcome.text), outcome.confidence, std::move(exif));
}

}  // namespace sorvi
