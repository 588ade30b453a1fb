#include "images/image_pipeline.h"

#include <algorithm>
#include <new>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using Log = std::vector<std::string>;

// Opener, source and recognizer in one, writing each call to `log`.
struct FakeImages : ImageSourceOpener, Recognizer {
  struct Source : ImageSource {
    explicit Source(FakeImages& images) : images(images) {}
    ~Source() override { images.log.push_back("close"); }
    std::shared_ptr<const RasterImage> decodeFirstImage() override {
      images.log.push_back("decode");
      if (images.throws) throw std::bad_alloc();
      return images.image;
    }
    std::optional<ImageProperties> firstImageProperties() override {
      images.log.push_back("properties");
      ImageProperties properties;
      properties.exif = PropertyGroup{{kExifDateTimeOriginal, std::string("    :  :     :  :  ")}};
      return properties;
    }
    FakeImages& images;
  };
  std::unique_ptr<ImageSource> open(const std::string& path) override {
    log.push_back("open " + path);
    return opens ? std::make_unique<Source>(*this) : nullptr;
  }
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> seen) override {
    log.push_back(seen == image ? "ocr" : "ocr of another image");
    return outcome;
  }
  std::string run(const std::string& path) {
    const JsonEncoder encoder;
    MemoryLineSink sink;
    Output output(encoder, sink);
    processImage(path, *this, *this, output);
    EXPECT_EQ(sink.lines.size(), 1u);
    return sink.lines.at(0);
  }
  Log log;
  bool opens = true, throws = false;
  std::shared_ptr<const RasterImage> image = std::make_shared<RasterImage>();
  RecognitionOutcome outcome;
};

TEST(ImagePipeline, LoadFailuresPrintOneErrorAndRecogniseNothing) {
  FakeImages notOpened, notDecoded, outOfMemory;
  notOpened.opens = false;
  notDecoded.image = nullptr;
  outOfMemory.throws = true;
  for (FakeImages* images : {&notOpened, &notDecoded, &outOfMemory}) {
    EXPECT_EQ(images->run("a.png"), R"({"path":"a.png","error":"Could not load image"})");
    EXPECT_EQ(std::count(images->log.begin(), images->log.end(), "ocr"), 0);
  }
}

TEST(ImagePipeline, SourceIsClosedBeforeRecognitionAndItsOutcomeIsPassedOnUnchanged) {
  const std::string exif = R"("exif":{"date_taken":"    :  :     :  :  "}})";
  FakeImages images;
  images.outcome = {"Hello\nWorld", 0.5};
  EXPECT_EQ(images.run("p/q.heic"),
            R"({"path":"p\/q.heic","text":"Hello\nWorld","confidence":0.5,)" + exif);
  EXPECT_EQ(images.log, (Log{"open p/q.heic", "decode", "properties", "close", "ocr"}));
  images.outcome = {"", 0.0};
  EXPECT_EQ(images.run("y.png"), R"({"path":"y.png","text":"","confidence":0,)" + exif);
  images.outcome = {};
  EXPECT_EQ(images.run("x.webp"), R"({"path":"x.webp",)" + exif);
}

}  // namespace
}  // namespace sorvi
