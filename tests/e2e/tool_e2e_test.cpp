// Runs the built tool on the cases of cases.json (one test each; see
// runCase) and on the few a table cannot state. Every run must say nothing
// on stderr and give one JSON record per path, in order.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

extern char** environ;

namespace sorvi::e2e {
namespace {

using nlohmann::json;

struct ToolRun {
  int status = -1;
  std::string out, err;
  std::vector<json> records;
};

std::string nameOf(std::string_view entry) { return std::string(entry.substr(0, entry.find('='))); }

// `env` entries ("NAME=value") replace ours of the same name; `onLine(pid,
// index)` is called as each line of output arrives.
ToolRun runTool(std::vector<std::string> args, std::vector<std::string> env = {},
                const std::function<void(pid_t, size_t)>& onLine = {}) {
  std::string binary = SORVI_BINARY;
  std::vector<char*> argv{binary.data()};
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::none_of(env.begin(), env.end(), [&](auto& x) { return nameOf(x) == nameOf(*e); })) {
      envp.push_back(*e);
    }
  }
  for (auto& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) throw std::runtime_error("spawn failed");

  ToolRun run;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  size_t lines = 0;
  for (int open = 2; open > 0;) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
    for (; onLine && lines < static_cast<size_t>(std::count(run.out.begin(), run.out.end(), '\n'));
         ++lines) {
      onLine(pid, lines);
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::istringstream stream(run.out);
  for (std::string line; std::getline(stream, line);) {
    run.records.push_back(json::parse(line, nullptr, false));
    EXPECT_FALSE(run.records.back().is_discarded()) << "not JSON: " << line;
  }
  return run;
}

// "{fixtures}" and "{source}" become those folders, "\xHH" that byte.
std::string expand(std::string text) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"{fixtures}", SORVI_FIXTURE_DIR},
                                   {"{source}", SORVI_SOURCE_DIR}}) {
    for (size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  }
  for (size_t at; (at = text.find("\\x")) != std::string::npos && at + 4 <= text.size();) {
    text.replace(at, 4, 1, static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16)));
  }
  return text;
}

std::string normalised(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (std::isspace(c) == 0) {
      out += static_cast<char>(std::tolower(c));
    } else if (!out.empty() && out.back() != ' ') {
      out += ' ';
    }
  }
  return out;
}

// "~a|b|!c|d{n}": the normalised text holds a then b, never c, d n times.
void expectText(const std::string& pattern, const std::string& actual, const std::string& where) {
  const std::string text = normalised(actual);
  std::istringstream parts(pattern.substr(1));
  size_t from = 0;
  for (std::string part; std::getline(parts, part, '|');) {
    if (part[0] == '!') {
      EXPECT_EQ(text.find(part.substr(1)), std::string::npos) << where << ": " << text;
    } else if (const size_t brace = part.find('{'); brace != std::string::npos) {
      const std::string word = part.substr(0, brace);
      int count = 0;
      for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
      }
      EXPECT_EQ(count, std::stoi(part.substr(brace + 1))) << where << ": " << text;
    } else {
      from = text.find(part, from);
      EXPECT_NE(from, std::string::npos) << where << ": '" << part << "' in " << text;
    }
  }
}

// Objects have exactly the expected members; "(lo,hi]" matches a number in
// that range and "~..." a text as above; anything else must be equal.
void expectMatch(const json& expected, const json& actual, const std::string& where) {
  if (expected.is_object() && actual.is_object()) {
    for (const auto& [key, value] : actual.items()) {
      EXPECT_TRUE(expected.contains(key)) << where << ": unexpected " << key << " in " << actual;
    }
    for (const auto& [key, value] : expected.items()) {
      if (!actual.contains(key)) {
        ADD_FAILURE() << where << ": no " << key << " in " << actual;
      } else {
        expectMatch(value, actual[key], where + "." + key);
      }
    }
  } else if (expected.is_string() && actual.is_number() && expected.get<std::string>()[0] == '(') {
    double low = 0, high = 0;
    std::sscanf(expected.get<std::string>().c_str(), "(%lf,%lf]", &low, &high);
    EXPECT_TRUE(actual.get<double>() > low && actual.get<double>() <= high) << where << actual;
  } else if (expected.is_string() && actual.is_string() && expected.get<std::string>()[0] == '~') {
    expectText(expected.get<std::string>(), actual.get<std::string>(), where);
  } else {
    EXPECT_EQ(expected, actual) << where;
  }
}

// A case: "args" (each after "in", if given), "env", "status" (0 unless
// given), "records" (one per path; a record without "path" is for its
// argument), "all" (members every record has, the only ones without
// "records"), "raw" (texts the output must hold as written).
void runCase(const json& c) {
  std::vector<std::string> args, env;
  for (const auto& arg : c["args"]) args.push_back(expand(c.value("in", "") + arg.get<std::string>()));
  for (const auto& entry : c.value("env", json::array())) env.push_back(entry);
  const ToolRun run = runTool(args, env);
  EXPECT_EQ(run.status, c.value("status", 0));
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), std::max<size_t>(args.size(), 1)) << run.out;
  const json all = c.value("all", json::object());
  for (size_t i = 0; i < run.records.size(); ++i) {
    json expected = c.contains("records") ? c["records"].at(i) : json::object();
    if (!expected.contains("path")) expected["path"] = args.at(i);
    for (const auto& [key, value] : all.items()) expected[key] = value;
    expectMatch(expected, run.records[i], "record " + std::to_string(i));
  }
  for (const auto& raw : c.value("raw", json::array())) {
    EXPECT_NE(run.out.find(raw.get<std::string>()), std::string::npos) << raw << " in " << run.out;
  }
}

const bool registered = [] {
  std::ifstream file(std::string(SORVI_SOURCE_DIR) + "/tests/e2e/cases.json");
  for (const json& c : json::parse(file)) {
    testing::RegisterTest("Cases", c["name"].get<std::string>().c_str(), nullptr, nullptr,
                          __FILE__, __LINE__, [c]() -> testing::Test* {
                            struct CaseTest : testing::Test {
                              explicit CaseTest(json c) : c_(std::move(c)) {}
                              void TestBody() override { runCase(c_); }
                              json c_;
                            };
                            return new CaseTest(c);
                          });
  }
  return true;
}();

// Children of `pid`, from /proc.
std::vector<int> childrenOf(int pid) {
  std::vector<int> children;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream file(task.path() / "children");
    for (int child = 0; file >> child;) children.push_back(child);
  }
  return children;
}

TEST(Isolation, AKilledWorkerCostsOnlyThePathItWasOn) {
  const std::string count60 = expand("{fixtures}/pdf/count60.pdf");
  const std::vector<std::string> args = {"first.txt", count60, "missing.png",
                                         expand("{fixtures}/pdf/words.pdf"), count60};
  bool killed = false;
  // The worker starts after the first line and spends seconds on the fifty
  // pages; it is killed a second in.
  const ToolRun run = runTool(args, {}, [&](pid_t tool, size_t line) {
    if (line != 0) return;
    std::vector<int> workers;
    for (int tries = 0; workers.empty() && tries < 10000; ++tries) workers = childrenOf(tool);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (const int worker : workers) killed = kill(worker, SIGKILL) == 0 || killed;
  });
  ASSERT_TRUE(killed);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.records.size(), args.size()) << run.out;
  EXPECT_EQ(run.records[1], json({{"path", count60}, {"error", "Could not load PDF"}}));
  EXPECT_EQ(run.records[2]["error"], "Could not load image");
  EXPECT_TRUE(run.records[3].contains("text") && run.records[4].contains("text")) << run.out;
}

}  // namespace
}  // namespace sorvi::e2e
