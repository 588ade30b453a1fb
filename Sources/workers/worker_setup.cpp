#include "workers/worker_setup.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace sorvi {

int jobCount(const char* setting, int cpus) {
  const std::string_view text = setting == nullptr ? "" : setting;
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::max(cpus, 1);
  }
  int jobs = 0;
  for (const char digit : text) jobs = std::min(jobs * 10 + (digit - '0'), kMaxJobs);
  return jobs == 0 ? std::max(cpus, 1) : jobs;
}

int availableCpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(CPU_COUNT(&set), 1);
}

namespace {

// `installed` relative to the folder of `program` when `exists` says it is
// there, otherwise `built` beside the program, as in the build tree.
std::string installedOrBuilt(std::string_view program, std::string_view installed,
                             std::string_view built,
                             const std::function<bool(const std::string&)>& exists) {
  const size_t slash = program.rfind('/');
  const std::string folder(slash == std::string_view::npos ? "." : program.substr(0, slash));
  std::string path = folder + "/" + std::string(installed);
  if (exists(path)) return path;
  return folder + "/" + std::string(built);
}

}  // namespace

std::string workerProgram(std::string_view toolPath,
                          const std::function<bool(const std::string&)>& exists) {
  return installedOrBuilt(toolPath, "../libexec/sorvi-ocr/sorvi-ocr-worker", "sorvi-ocr-worker",
                          exists);
}

std::string textModelFolder(std::string_view workerPath,
                            const std::function<bool(const std::string&)>& exists) {
  return installedOrBuilt(workerPath, "../../share/sorvi-ocr/models", "models", exists);
}

std::string ownProgramPath() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  path.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return path;
}

std::vector<std::string> workerEnvironment(const char* const* environment) {
  constexpr std::string_view kTunables = "GLIBC_TUNABLES=";
  constexpr std::string_view kHugePages = "glibc.malloc.hugetlb=1";
  std::vector<std::string> env;
  bool tunablesSet = false;
  for (const char* const* entry = environment; *entry != nullptr; ++entry) {
    std::string variable = *entry;
    if (variable.starts_with(kTunables)) {
      tunablesSet = true;
      if (variable.find("glibc.malloc.hugetlb=") == std::string::npos) {
        if (variable.size() > kTunables.size()) variable += ':';
        variable += kHugePages;
      }
    }
    env.push_back(std::move(variable));
  }
  if (!tunablesSet) env.push_back(std::string(kTunables) + std::string(kHugePages));
  return env;
}

std::unique_ptr<WorkerProcess> makeWorkerProcess(const std::string& program) {
  return std::make_unique<WorkerProcess>(
      program, std::vector<std::string>{"sorvi-ocr-worker", std::to_string(::getpid())},
      workerEnvironment(environ));
}

}  // namespace sorvi
