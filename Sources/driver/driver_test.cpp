#include "driver/driver.h"

#include <gtest/gtest.h>

#include "output/line_sink.h"
#include "output/output.h"

namespace sorvi {
namespace {

class RecordingPipelines : public Pipelines {
 public:
  explicit RecordingPipelines(Output& output) : output_(output) {}
  void processImage(const std::string& path) override {
    output_.outputResult(path, "image", 1.0, std::nullopt);
  }
  void processPdf(const std::string& path) override {
    output_.outputResult(path, "pdf", 1.0, std::nullopt);
  }
  void outputError(const std::string& path, std::string_view message) override {
    output_.outputError(path, message);
  }
  void finish() override {}

 private:
  Output& output_;
};

struct DriverRun {
  int status;
  std::vector<std::string> lines;
};

DriverRun run(const std::vector<std::string>& args) {
  const JsonEncoder encoder;
  MemoryLineSink sink;
  Output output(encoder, sink);
  RecordingPipelines pipelines(output);
  const int status = runDriver(args, pipelines);
  return {status, sink.lines};
}

TEST(Driver, NoPathPrintsTheUsageRecordAndFails) {
  const DriverRun result = run({});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.lines, std::vector<std::string>{
                              R"({"path":"","error":"Usage: sorvi-ocr <path1> [path2] ..."})"});
}

TEST(Driver, DispatchesEveryPathInOrderAndSucceeds) {
  const DriverRun result =
      run({"a.PNG", "notes.txt", "b.pdf", "--help", "a.PNG", "x.tar.GZ", "x."});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.lines, (std::vector<std::string>{
                              R"({"path":"a.PNG","text":"image","confidence":1})",
                              R"({"path":"notes.txt","error":"Unsupported file type: txt"})",
                              R"({"path":"b.pdf","text":"pdf","confidence":1})",
                              R"({"path":"--help","error":"Unsupported file type: "})",
                              R"({"path":"a.PNG","text":"image","confidence":1})",
                              R"({"path":"x.tar.GZ","error":"Unsupported file type: gz"})",
                              R"({"path":"x.","error":"Unsupported file type: "})",
                          }));
}

}  // namespace
}  // namespace sorvi
