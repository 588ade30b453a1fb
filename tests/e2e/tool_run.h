#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvi::e2e {

struct ToolRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
  std::vector<nlohmann::json> records;  // stdout parsed line by line
};

// Runs the built tool with `args` exactly as given (bytes, no shell) and
// with `extraEnv` ("NAME=value") added to the environment.
ToolRun runTool(const std::vector<std::string>& args,
                const std::vector<std::string>& extraEnv = {});

// Runs the tool on `paths` and checks what every run must give: exit
// status 0, nothing on standard error, one record per path in order.
ToolRun runToolChecked(const std::vector<std::string>& paths,
                       const std::vector<std::string>& extraEnv = {});

// Like runTool, calling `onLine(toolPid, lineIndex)` as each stdout line
// arrives, while the tool runs.
ToolRun runToolWatching(const std::vector<std::string>& args,
                        const std::function<void(int, size_t)>& onLine);

// The process ids of the direct children of `pid`.
std::vector<int> childrenOf(int pid);

std::string fixturePath(const std::string& name);
std::string sourcePath(const std::string& relative);

}  // namespace sorvi::e2e
