#include "tool_run.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

extern char** environ;

namespace sorvi::e2e {
namespace {

void drain(int outFd, int errFd, std::string& out, std::string& err,
           const std::function<void(size_t)>& onLine) {
  size_t lines = 0;
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? out : err).append(buffer, static_cast<size_t>(n));
        if (i == 0 && onLine) {
          const auto count = static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
          while (lines < count) onLine(lines++);
        }
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ToolRun runToolImpl(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                    const std::function<void(int, size_t)>& onLine);

ToolRun runTool(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  return runToolImpl(args, extraEnv, {});
}

ToolRun runToolChecked(const std::vector<std::string>& paths,
                       const std::vector<std::string>& extraEnv) {
  ToolRun run = runTool(paths, extraEnv);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.records.size(), paths.size()) << run.out;
  for (size_t i = 0; i < paths.size() && i < run.records.size(); ++i) {
    EXPECT_EQ(run.records[i]["path"], paths[i]);
  }
  return run;
}

ToolRun runToolWatching(const std::vector<std::string>& args,
                        const std::function<void(int, size_t)>& onLine) {
  return runToolImpl(args, {}, onLine);
}

std::vector<int> childrenOf(int pid) {
  std::vector<int> children;
  const std::string base = "/proc/" + std::to_string(pid) + "/task/";
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(base, error)) {
    std::ifstream file(task.path() / "children");
    int child = 0;
    while (file >> child) children.push_back(child);
  }
  return children;
}

ToolRun runToolImpl(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                    const std::function<void(int, size_t)>& onLine) {
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");

  std::vector<char*> argv;
  std::string binary = SORVI_BINARY;
  argv.push_back(binary.data());
  std::vector<std::string> argsCopy = args;
  for (auto& arg : argsCopy) argv.push_back(arg.data());
  argv.push_back(nullptr);

  std::vector<std::string> envCopy = extraEnv;
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
  for (auto& e : envCopy) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, outPipe[0]);
  posix_spawn_file_actions_addclose(&actions, errPipe[0]);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (spawned != 0) throw std::runtime_error(std::string("spawn: ") + std::strerror(spawned));

  ToolRun run;
  std::function<void(size_t)> lineHook;
  if (onLine) lineHook = [&](size_t index) { onLine(pid, index); };
  drain(outPipe[0], errPipe[0], run.out, run.err, lineHook);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#ifdef SORVI_E2E_LINES
  // Every line goes to one file that is checked against the line schema
  // after the run; one appending write, as tests may run side by side.
  if (const int log = open(SORVI_E2E_LINES, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
      log >= 0) {
    [[maybe_unused]] const ssize_t written = write(log, run.out.data(), run.out.size());
    close(log);
  }
#endif

  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    try {
      run.records.push_back(nlohmann::json::parse(line));
    } catch (const nlohmann::json::exception& error) {
      ADD_FAILURE() << "not a JSON line: " << line << " (" << error.what() << ")";
    }
  }
  return run;
}

std::string fixturePath(const std::string& name) {
  return std::string(SORVI_FIXTURE_DIR) + "/" + name;
}

std::string sourcePath(const std::string& relative) {
  return std::string(SORVI_SOURCE_DIR) + "/" + relative;
}

}  // namespace sorvi::e2e
