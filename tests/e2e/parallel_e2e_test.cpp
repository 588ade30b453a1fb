#include <sys/wait.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "tool_run.h"

namespace sorvi::e2e {
namespace {

TEST(ParallelEndToEnd, OneJobAndFourJobsWriteTheSameBytes) {
  const std::vector<std::string> args = {sourcePath("samples/cafe_sign.jpg"),
                                         fixturePath("pdf/count60.pdf"),
                                         "notes.txt",
                                         fixturePath("hostile/huge-declared.png"),
                                         sourcePath("samples/report.pdf"),
                                         "missing.pdf",
                                         fixturePath("hostile/truncated.pdf"),
                                         sourcePath("samples/hello.png"),
                                         fixturePath("pdf/words.pdf"),
                                         "missing.png",
                                         sourcePath("samples/cafe_sign.heic")};
  const ToolRun one = runToolChecked(args, {"SORVI_OCR_JOBS=1"});
  const ToolRun four = runToolChecked(args, {"SORVI_OCR_JOBS=4"});
  EXPECT_EQ(one.out, four.out);
  EXPECT_TRUE(one.records[1].contains("text")) << one.records[1];
  EXPECT_EQ(one.records[6]["error"], "Could not load PDF");
}

TEST(ParallelEndToEnd, TheWorkerRunByHandServesNothing) {
  const std::string worker = std::string(SORVI_BINARY) + "-worker";
  const int status = std::system((worker + " </dev/null >/dev/null 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace sorvi::e2e
