// Runs the built tool on each case of cases.json (see runCase). Every run
// must say nothing on stderr and give one JSON record per path, in order.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
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
  bool killedWorker = false;
};

std::string nameOf(std::string_view entry) { return std::string(entry.substr(0, entry.find('='))); }

// The children of `pid`.
std::vector<int> childrenOf(pid_t pid) {
  std::vector<int> children;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream file(task.path() / "children");
    for (int child = 0; file >> child;) children.push_back(child);
  }
  return children;
}

// `env` entries ("NAME=value") replace ours of the same name. With
// `killAfter`, the worker is killed that long after it appears.
ToolRun runTool(std::vector<std::string> args, std::vector<std::string> env,
                std::optional<std::chrono::milliseconds> killAfter) {
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

  int out[2];
  std::FILE* err = std::tmpfile();
  if (pipe2(out, O_CLOEXEC) != 0 || err == nullptr) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) throw std::runtime_error("spawn failed");

  ToolRun run;
  std::thread killer;
  if (killAfter) {
    killer = std::thread([&] {
      std::vector<int> workers;
      for (int tries = 0; workers.empty() && tries < 1000; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        workers = childrenOf(pid);
      }
      std::this_thread::sleep_for(*killAfter);
      for (const int worker : workers) run.killedWorker |= kill(worker, SIGKILL) == 0;
    });
  }
  char buffer[65536];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) run.out.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (killer.joinable()) killer.join();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::rewind(err);
  for (int c; (c = std::fgetc(err)) != EOF;) run.err += static_cast<char>(c);
  std::fclose(err);
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

// "~a|b|!c": the text, lower-cased with white space runs made one blank,
// holds a and then b, and nowhere c.
void expectText(const std::string& pattern, const std::string& actual, const std::string& where) {
  std::string text;
  for (const unsigned char c : actual) {
    if (std::isspace(c) == 0) {
      text += static_cast<char>(std::tolower(c));
    } else if (!text.empty() && text.back() != ' ') {
      text += ' ';
    }
  }
  std::istringstream parts(pattern.substr(1));
  size_t from = 0;
  for (std::string part; std::getline(parts, part, '|');) {
    if (part[0] == '!') {
      EXPECT_EQ(text.find(part.substr(1)), std::string::npos) << where << ": " << text;
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
// given), "records" (one per path; one without "path" is for its argument),
// "all" (members every record has; the only ones without "records"), "raw"
// (texts the output holds as written), "kill_worker_after_ms".
void runCase(const json& c) {
  std::vector<std::string> args, env;
  for (const auto& arg : c["args"]) args.push_back(expand(c.value("in", "") + arg.get<std::string>()));
  for (const auto& entry : c.value("env", json::array())) env.push_back(entry);
  std::optional<std::chrono::milliseconds> killAfter;
  if (c.contains("kill_worker_after_ms")) killAfter.emplace(c["kill_worker_after_ms"].get<int>());
  const ToolRun run = runTool(args, env, killAfter);
  EXPECT_EQ(run.killedWorker, killAfter.has_value());
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

class Cases : public testing::TestWithParam<json> {};

TEST_P(Cases, Run) { runCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    , Cases,
    testing::ValuesIn(json::parse(std::ifstream(SORVI_SOURCE_DIR "/tests/e2e/cases.json"))
                          .get<std::vector<json>>()),
    [](const auto& info) { return info.param["name"].template get<std::string>(); });

}  // namespace
}  // namespace sorvi::e2e
