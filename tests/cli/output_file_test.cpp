// The output file on its own: several outputs pending at once, each with a
// temporary file of its own, committed together or not at all, and removed
// by a signal that ends the run.
#include "shared/output_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace cmg290::cli {
namespace {

namespace fs = std::filesystem;

class OutputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/cmg290_outputs.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name) << text;
  }

  fs::path dir_;
};

TEST_F(OutputFiles, TwoPendingAtOnceAreBothCommittedWithTheirOwnContent) {
  write("b", "earlier b");
  OutputFile a, b;
  ASSERT_TRUE(a.open(path("a"))) << a.error();
  ASSERT_TRUE(b.open(path("b"))) << b.error();
  EXPECT_EQ(entries().size(), 3u) << "two temporary files beside the earlier b";
  a.write("page");
  b.write("json");
  EXPECT_EQ(read("b"), "earlier b") << "nothing replaced before the end";
  OutputFile* const both[] = {&a, &b};
  EXPECT_EQ(finish_together(both, 7), 7);
  EXPECT_TRUE(a.committed());
  EXPECT_TRUE(b.committed());
  EXPECT_EQ(read("a"), "page");
  EXPECT_EQ(read("b"), "json");
  EXPECT_EQ(entries(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(OutputFiles, OneFailedOutputLeavesNeitherAndEveryEarlierFileAsItWas) {
  for (int failing = 0; failing < 2; ++failing) {
    write("b", "earlier b");
    OutputFile file, full;
    ASSERT_TRUE(file.open(path("a")));
    ASSERT_TRUE(full.open("/dev/full"));  // written in place, every write fails
    file.write("page");
    full.write("json");
    EXPECT_EQ(full.status(), WriteStatus::Failed);
    OutputFile* const order1[] = {&file, &full};
    OutputFile* const order2[] = {&full, &file};
    EXPECT_EQ(finish_together(failing == 0 ? order1 : order2, 0), 2);
    EXPECT_FALSE(file.committed());
    EXPECT_EQ(entries(), (std::vector<std::string>{"b"})) << "no a, no temporary file";
    EXPECT_EQ(read("b"), "earlier b");
  }
}

TEST_F(OutputFiles, PendingOutputsAreRemovedWhenAbandonedAndNullsPassedOver) {
  {
    OutputFile a, b, c;
    ASSERT_TRUE(a.open(path("a")));
    ASSERT_TRUE(b.open(path("b")));
    ASSERT_TRUE(c.open(path("c")));
    EXPECT_EQ(entries().size(), 3u);
    EXPECT_EQ(pending_output_count(), 3u);
    c.write("c");
    OutputFile* const one[] = {nullptr, &c};
    EXPECT_EQ(finish_together(one, 0), 0);
    EXPECT_EQ(pending_output_count(), 2u) << "a committed output is no longer pending";
  }
  EXPECT_EQ(entries(), (std::vector<std::string>{"c"}));
  EXPECT_EQ(pending_output_count(), 0u);
}

TEST_F(OutputFiles, ASignalRemovesEveryPendingOutput) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    install_signal_handlers();
    static OutputFile outputs[3];  // never destroyed: only the handler cleans up
    for (int i = 0; i < 3; ++i) {
      if (!outputs[i].open(path(std::string(1, static_cast<char>('a' + i))))) _exit(3);
    }
    // The one in the middle committed, then unlinked from the list.
    outputs[1].write("b");
    if (outputs[1].finish(0) != 0) _exit(4);
    raise(SIGTERM);
    _exit(5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(entries(), (std::vector<std::string>{"b"}));
}

}  // namespace
}  // namespace cmg290::cli
