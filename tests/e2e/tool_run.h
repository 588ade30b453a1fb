#pragma once

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

std::string fixturePath(const std::string& name);
std::string sourcePath(const std::string& relative);

}  // namespace sorvi::e2e
