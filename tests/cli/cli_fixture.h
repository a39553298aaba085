// What the end-to-end tests of the cmg290 tool share: the one fixture that
// owns a scratch folder and runs the built binary there (through bash, or
// with its standard output on a closed pipe), and readers of its outputs.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/tier_set.h"
#include "record_builder.h"

namespace cmg290::cli_test {

namespace fs = std::filesystem;
using cmg290::test::RecordBuilder;

inline const std::string kTool = CMG290_CLI;
inline const std::string kSourceDir = CMG290_SOURCE_DIR;
inline const std::string kSamples = kSourceDir + "/examples/assessments.txt";
// What each JSON Lines row of a run with the compiled-in lists ends with.
inline const std::string kCompiledSetMember =
    ",\"tier_set\":" + cmg290::tier_set_json(*cmg290::TierSet::compiled());

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

inline std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void spit(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

// Reads RFC 4180 CSV: quoted fields may hold commas, quotes (doubled) and
// line ends; any other byte is taken as it is.
inline std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\n') {
      row.push_back(field);
      field.clear();
      rows.push_back(row);
      row.clear();
    } else {
      field += c;
    }
  }
  return rows;
}

// A JSON string decoded back to bytes: the tool writes bytes outside ASCII
// as \u0080 to \u00ff, which nlohmann returns as two-byte UTF-8.
inline std::string latin1_bytes(const std::string& utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else {
      bytes +=
          static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3f));
    }
  }
  return bytes;
}

inline std::string trim(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The CSV fields the tool should write for a record, from the library:
// the CMG and the scores only for grouped records, the age only once the
// grouping computed it (status 0, 7, 9), the rest empty.
inline std::vector<std::string> expected_fields(std::int64_t line, const std::string& record) {
  const cmg290::Result r = cmg290::group(record);
  const bool grouped = r.status == 0;
  const bool aged = grouped || r.status == 7 || r.status == 9;
  return {std::to_string(line),
          std::to_string(r.status),
          cmg290::status_text(r.status),
          grouped ? trim(r.cmg) : "",
          grouped ? trim(r.motorScore) : "",
          grouped ? std::to_string(r.cognitiveScore) : "",
          aged ? std::to_string(r.age) : "",
          trim(r.tableVersion),
          trim(r.grouperVersion)};
}

// A JSON value against a CSV field: null for an empty field.
inline testing::AssertionResult same_value(const nlohmann::json& j, const std::string& field) {
  if (field.empty()   ? j.is_null()
      : j.is_string() ? j.get<std::string>() == field
                      : j.is_number() && j.get<double>() == std::stod(field)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << j.dump() << " against '" << field << "'";
}

// Each test has a scratch folder of its own: dir_, where the tool runs,
// inside root_, which also holds the script and the captured outputs.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cmg290_cli_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    dir_ = root_ / "w";
    fs::create_directory(dir_);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path path(const std::string& name) const { return dir_ / name; }
  void write(const std::string& name, const std::string& text) const { spit(path(name), text); }
  std::string read(const std::string& name) const { return slurp(path(name)); }
  bool exists(const std::string& name) const { return fs::exists(path(name)); }

  // Runs a bash script in the scratch folder, with $T naming the tool. The
  // exit code of a run ended by a signal is 128 and the signal's number, as
  // bash gives it.
  Outcome sh(const std::string& script) const {
    spit(root_ / "script.sh", "set -u\nT='" + kTool + "'\ncd '" + dir_.string() + "'\n" + script);
    const std::string cmd = "bash '" + (root_ / "script.sh").string() + "' >'" +
                            (root_ / "out").string() + "' 2>'" + (root_ / "err").string() + "'";
    const int status = std::system(cmd.c_str());
    return {exit_code(status), slurp(root_ / "out"), slurp(root_ / "err")};
  }
  Outcome tool(const std::string& args) const { return sh("\"$T\" " + args); }

  // Runs the tool in the scratch folder with its standard output on a pipe
  // whose read end is closed before it starts, so that its first write
  // there fails with EPIPE. The outcome's `out` is empty.
  Outcome tool_into_closed_pipe(std::vector<std::string> args) const {
    args.insert(args.begin(), kTool);
    return run_into_closed_pipe(std::move(args));
  }
  // The same for any program: argv[0] names it by its path.
  Outcome run_into_closed_pipe(std::vector<std::string> argv) const {
    int fds[2];
    if (pipe(fds) != 0) return {-1, "", "no pipe"};
    close(fds[0]);
    const std::string errPath = (root_ / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) return {-1, "", "not run"};
    return {exit_code(status), "", slurp(errPath)};
  }

  std::vector<std::string> files_in_dir() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_, dir_;

 private:
  static int exit_code(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

// The count that the summary on standard error gives for a label
// ("grouped", "status 9", "tier A", "short lines"), or -1 if it has none.
inline long summary_count(const std::string& err, const std::string& label) {
  const std::string key = "\n  " + label + " ";
  const std::size_t at = err.find(key);
  if (at == std::string::npos) return -1;
  std::string digits;
  for (std::size_t i = at + key.size(); i < err.size() && err[i] != '\n'; ++i) {
    if (std::isdigit(static_cast<unsigned char>(err[i]))) {
      digits += err[i];
    } else if (!digits.empty() && err[i] != ',') {
      break;
    }
  }
  return digits.empty() ? -1 : std::stol(digits);
}

// JSON Lines rows without the member that names the compiled-in set, which
// each must end with.
inline std::string without_set_member(const std::string& rows) {
  const std::string member = kCompiledSetMember + "}";
  std::string out;
  for (const std::string& row : lines_of(rows)) {
    const bool named = row.size() >= member.size() &&
                       row.compare(row.size() - member.size(), member.size(), member) == 0;
    EXPECT_TRUE(named) << row;
    out += named ? row.substr(0, row.size() - member.size()) + "}\n" : row + "\n";
  }
  return out;
}

inline std::string example_records() {
  return slurp(kSamples);
}

}  // namespace cmg290::cli_test
