#include "workers/worker_setup.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(WorkerSetup, JobCountIsAPositiveIntegerSettingOrTheCpus) {
  const std::vector<std::pair<const char*, int>> cases = {{nullptr, 3},
                                                          {"", 3},
                                                          {"1", 1},
                                                          {"4", 4},
                                                          {"007", 7},
                                                          {"0", 3},
                                                          {"-2", 3},
                                                          {"+2", 3},
                                                          {" 2", 3},
                                                          {"2x", 3},
                                                          {"1.5", 3},
                                                          {"300", kMaxJobs},
                                                          {"99999999999999999999", kMaxJobs}};
  for (const auto& [setting, jobs] : cases) {
    EXPECT_EQ(jobCount(setting, 3), jobs) << (setting == nullptr ? "(unset)" : setting);
  }
}

TEST(WorkerSetup, TheInstalledWorkerAndModelsComeFirstThenThoseOfTheBuildTree) {
  const auto installed = [](const std::string& path) { return path.find("libexec") != path.npos; };
  const auto none = [](const std::string&) { return false; };
  EXPECT_EQ(workerProgram("/usr/bin/sorvi-ocr", installed),
            "/usr/bin/../libexec/sorvi-ocr/sorvi-ocr-worker");
  EXPECT_EQ(workerProgram("/work/build/sorvi-ocr", none), "/work/build/sorvi-ocr-worker");
  const auto shared = [](const std::string& path) { return path.find("share") != path.npos; };
  EXPECT_EQ(textModelFolder("/usr/libexec/sorvi-ocr/sorvi-ocr-worker", shared),
            "/usr/libexec/sorvi-ocr/../../share/sorvi-ocr/models");
  EXPECT_EQ(textModelFolder("/work/build/sorvi-ocr-worker", none), "/work/build/models");
}

TEST(WorkerSetup, WorkersAskForHugePagesUnlessTheUserSaidOtherwise) {
  struct {
    std::vector<const char*> given;
    std::vector<std::string> expected;
  } cases[] = {
      {{"PATH=/bin"}, {"PATH=/bin", "GLIBC_TUNABLES=glibc.malloc.hugetlb=1"}},
      {{"GLIBC_TUNABLES=glibc.malloc.arena_max=2"},
       {"GLIBC_TUNABLES=glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"}},
      {{"GLIBC_TUNABLES="}, {"GLIBC_TUNABLES=glibc.malloc.hugetlb=1"}},
      {{"GLIBC_TUNABLES=glibc.malloc.hugetlb=0"}, {"GLIBC_TUNABLES=glibc.malloc.hugetlb=0"}},
  };
  for (auto& c : cases) {
    c.given.push_back(nullptr);
    EXPECT_EQ(workerEnvironment(c.given.data()), c.expected) << c.given.front();
  }
}

}  // namespace
}  // namespace sorvi
