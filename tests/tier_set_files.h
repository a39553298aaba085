// Tier-table sets on disk for the tests: a fresh directory per test, the
// compiled-in set written into it, and its files read, edited and written.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cmg290/tier_set.h"

namespace cmg290::test {

namespace fs = std::filesystem;

// A directory removed when the test ends.
class SetDir {
 public:
  SetDir() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / ("cmg290-set-" + std::string(info->test_suite_name()) +
                                         "-" + info->name() + "-" + std::to_string(::getpid()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~SetDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  SetDir(const SetDir&) = delete;
  SetDir& operator=(const SetDir&) = delete;

  const fs::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

  // The compiled-in set written here.
  void write_compiled() const {
    std::string error;
    ASSERT_TRUE(TierSet::compiled()->write(str(), error)) << error;
  }

  std::string read(const std::string& file) const {
    std::ifstream in(path_ / file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& file, const std::string& text) const {
    std::ofstream out(path_ / file, std::ios::binary | std::ios::trunc);
    out << text;
  }

  // Line n (1-based) of a file, without its line end.
  std::string line(const std::string& file, int n) const {
    const std::vector<std::string> lines = lines_of(file);
    return lines.at(static_cast<std::size_t>(n - 1));
  }
  // Replaces line n of a file.
  void set_line(const std::string& file, int n, const std::string& text) const {
    std::vector<std::string> lines = lines_of(file);
    lines.at(static_cast<std::size_t>(n - 1)) = text;
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    write(file, out);
  }
  std::vector<std::string> lines_of(const std::string& file) const {
    std::vector<std::string> lines;
    std::istringstream in(read(file));
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

  std::shared_ptr<const TierSet> load(std::vector<TierSetProblem>& problems,
                                      bool allowDeviations = false) const {
    TierSetOptions options;
    options.allowDeviations = allowDeviations;
    return TierSet::load(str(), problems, options);
  }

 private:
  fs::path path_;
};

// Every problem as "FILE:LINE: reason", one per line, for failure messages.
inline std::string problems_text(const std::vector<TierSetProblem>& problems) {
  std::string out;
  for (const TierSetProblem& p : problems) out += problem_text(p) + "\n";
  return out;
}

}  // namespace cmg290::test
