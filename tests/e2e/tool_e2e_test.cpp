// Runs the built tool on each case of cases.json (see runCase). Every run
// must say nothing on stderr and give one JSON record per path, in order.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace sorvi::e2e {
namespace {

using nlohmann::json;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// "{fixtures}" and "{source}" become those folders, "\xHH" that byte.
std::string expand(std::string text) {
  for (const auto& [key, value] :
       {std::pair<std::string, std::string>{"{fixtures}", SORVI_FIXTURE_DIR},
        {"{source}", SORVI_SOURCE_DIR}}) {
    for (size_t at; (at = text.find(key)) != std::string::npos;)
      text.replace(at, key.size(), value);
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
        expectMatch(value, actual[key], std::string(where).append(".").append(key));
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

// A case: "args" (each after "in", if given), "env" ("NAME=value", in place
// of ours), "status" (0 unless given), "records" (one per path; one without
// "path" is for its argument), "all" (members every record has; the only ones
// without "records"), "raw" (texts the output holds as written),
// "kill_worker_after_ms" (the worker is killed that long after it starts),
// "max_rss_mb" and "max_seconds" (the peak resident size of the tool and its
// workers, and the run's time; not under the sanitizers, whose memory and
// speed are not a plain build's), "same_output_with" (the environment
// entries of a second run whose output must be the same bytes).
// Returns the tool's output, `more_env` added to the case's environment.
std::string runCase(const json& c, const json& moreEnv = json::array()) {
  std::vector<std::string> args, env;
  for (const auto& arg : c["args"])
    args.push_back(expand(c.value("in", "") + arg.get<std::string>()));
  for (const auto& entry : c.value("env", json::array())) env.push_back(entry);
  for (const auto& entry : moreEnv) env.push_back(entry);
  std::string binary = SORVI_BINARY;
  std::vector<char*> argv{binary.data()}, envp;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::none_of(env.begin(), env.end(), [&](auto& x) { return nameOf(x) == nameOf(*e); })) {
      envp.push_back(*e);
    }
  }
  for (auto& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int out[2];
  std::FILE* err = std::tmpfile();
  if (pipe2(out, O_CLOEXEC) != 0 || err == nullptr) {
    ADD_FAILURE() << "no pipe";
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const auto start = std::chrono::steady_clock::now();
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    ADD_FAILURE() << "cannot start " << binary;
    return {};
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  bool killed = false;
  std::thread killer([&] {
    if (!c.contains("kill_worker_after_ms")) return;
    const std::string children =
        "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
    int worker = 0;
    for (int tries = 0; tries < 1000 && !(std::ifstream(children) >> worker); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(c["kill_worker_after_ms"].get<int>()));
    killed = worker > 0 && kill(worker, SIGKILL) == 0;
  });
  std::string output;
  char buffer[65536];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) output.append(buffer, n);
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  killer.join();
  if (!kSanitized) {
    // ru_maxrss of a reaped process covers the workers it reaped.
    EXPECT_LE(usage.ru_maxrss / 1024, c.value("max_rss_mb", 1L << 40));
    EXPECT_LE(seconds.count(), c.value("max_seconds", 1e9));
  }
  EXPECT_EQ(killed, c.contains("kill_worker_after_ms"));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.value("status", 0)) << status;
  struct stat errors {};
  EXPECT_TRUE(fstat(fileno(err), &errors) == 0 && errors.st_size == 0)
      << "the tool wrote to stderr";
  std::fclose(err);

#ifdef SORVI_E2E_LINES
  // Every line goes to one file, checked against the line schema after the
  // run; one appending write, as cases may run side by side.
  if (const int log = open(SORVI_E2E_LINES, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
      log >= 0) {
    [[maybe_unused]] const ssize_t written = write(log, output.data(), output.size());
    close(log);
  }
#endif

  std::istringstream lines(output);
  std::vector<json> records;
  for (std::string line; std::getline(lines, line);)
    records.push_back(json::parse(line, nullptr, false));
  if (records.size() != std::max<size_t>(args.size(), 1)) {
    ADD_FAILURE() << "one record per path expected in " << output;
    return output;
  }
  const json all = c.value("all", json::object());
  for (size_t i = 0; i < records.size(); ++i) {
    json expected = c.contains("records") ? c["records"].at(i) : json::object();
    if (!expected.contains("path")) expected["path"] = args.at(i);
    for (const auto& [key, value] : all.items()) expected[key] = value;
    expectMatch(expected, records[i], "record " + std::to_string(i));
  }
  for (const auto& raw : c.value("raw", json::array())) {
    EXPECT_NE(output.find(raw.get<std::string>()), std::string::npos) << raw << " in " << output;
  }
  return output;
}

class Cases : public testing::TestWithParam<json> {};

TEST_P(Cases, Run) {
  const std::string output = runCase(GetParam());
  if (GetParam().contains("same_output_with")) {
    EXPECT_EQ(runCase(GetParam(), GetParam()["same_output_with"]), output);
  }
}

INSTANTIATE_TEST_SUITE_P(
    , Cases,
    testing::ValuesIn(json::parse(std::ifstream(SORVI_SOURCE_DIR "/tests/e2e/cases.json"))
                          .get<std::vector<json>>()),
    [](const auto& info) { return info.param["name"].template get<std::string>(); });

}  // namespace
}  // namespace sorvi::e2e
