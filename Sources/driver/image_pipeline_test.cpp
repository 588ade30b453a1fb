#include "driver/image_pipeline.h"

#include <new>

#include <gtest/gtest.h>

namespace sorvi {
namespace {

using Log = std::vector<std::string>;

class FakeSource : public ImageSource {
 public:
  FakeSource(Log& log, std::shared_ptr<const RasterImage> image, bool throws)
      : log_(log), image_(std::move(image)), throws_(throws) {}
  std::shared_ptr<const RasterImage> decodeFirstImage() override {
    log_.push_back("decode");
    if (throws_) throw std::bad_alloc();
    return image_;
  }
  std::optional<ImageProperties> firstImageProperties() override {
    log_.push_back("properties");
    ImageProperties properties;
    properties.exif = PropertyGroup{{kExifDateTimeOriginal, std::string("    :  :     :  :  ")}};
    return properties;
  }
  ~FakeSource() override { log_.push_back("close"); }

 private:
  Log& log_;
  std::shared_ptr<const RasterImage> image_;
  bool throws_;
};

class FakeOpener : public ImageSourceOpener {
 public:
  explicit FakeOpener(Log& log) : log_(log) {}
  std::unique_ptr<ImageSource> open(const std::string& path) override {
    log_.push_back("open " + path);
    if (!opens) return nullptr;
    return std::make_unique<FakeSource>(log_, image, throws);
  }
  bool opens = true;
  bool throws = false;
  std::shared_ptr<const RasterImage> image = std::make_shared<RasterImage>();

 private:
  Log& log_;
};

class FakeRecognizer : public Recognizer {
 public:
  explicit FakeRecognizer(Log& log) : log_(log) {}
  RecognitionOutcome ocrImage(std::shared_ptr<const RasterImage> image) override {
    log_.push_back("ocr");
    seen = std::move(image);
    return outcome;
  }
  RecognitionOutcome outcome;
  std::shared_ptr<const RasterImage> seen;

 private:
  Log& log_;
};

struct Harness {
  Log log;
  FakeOpener opener{log};
  FakeRecognizer recognizer{log};
  MemoryLineSink sink;
  JsonEncoder encoder;

  void run(const std::string& path) {
    Output output(encoder, sink);
    processImage(path, opener, recognizer, output);
  }
};

TEST(ImagePipeline, LoadFailuresPrintOneErrorAndRecogniseNothing) {
  Harness notOpened;
  notOpened.opener.opens = false;
  notOpened.run("a.png");
  EXPECT_EQ(notOpened.sink.lines, Log{R"({"path":"a.png","error":"Could not load image"})"});
  EXPECT_EQ(notOpened.log, Log{"open a.png"});

  Harness notDecoded;
  notDecoded.opener.image = nullptr;
  notDecoded.run("b.jpg");
  EXPECT_EQ(notDecoded.sink.lines, Log{R"({"path":"b.jpg","error":"Could not load image"})"});
  EXPECT_EQ(notDecoded.log, (Log{"open b.jpg", "decode", "close"}));

  Harness outOfMemory;
  outOfMemory.opener.throws = true;
  outOfMemory.run("c.tiff");
  EXPECT_EQ(outOfMemory.sink.lines, Log{R"({"path":"c.tiff","error":"Could not load image"})"});
}

TEST(ImagePipeline, MetadataComesBeforeRecognitionAndOneResultIsPrinted) {
  Harness harness;
  harness.recognizer.outcome = {"Hello\nWorld", 0.5};
  harness.run("photos/p.heic");
  EXPECT_EQ(harness.log, (Log{"open photos/p.heic", "decode", "properties", "close", "ocr"}));
  EXPECT_EQ(harness.recognizer.seen, harness.opener.image);
  EXPECT_EQ(harness.sink.lines,
            Log{R"({"path":"photos\/p.heic","text":"Hello\nWorld","confidence":0.5,)"
                R"("exif":{"date_taken":"    :  :     :  :  "}})"});
}

TEST(ImagePipeline, RecognitionOutcomeIsPassedOnUnchanged) {
  Harness nothing;
  nothing.run("x.webp");
  EXPECT_EQ(nothing.sink.lines,
            Log{R"({"path":"x.webp","exif":{"date_taken":"    :  :     :  :  "}})"});

  Harness empty;
  empty.recognizer.outcome = {"", 0.0};
  empty.run("y.png");
  EXPECT_EQ(
      empty.sink.lines,
      Log{R"({"path":"y.png","text":"","confidence":0,"exif":{"date_taken":"    :  :     :  :  "}})"});
}

}  // namespace
}  // namespace sorvi
