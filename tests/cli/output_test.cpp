// Where `cmg290 group` and `cmg290 sample` write: paths that name one of the
// tool's descriptors, symbolic links, the --id range, and runs that fail on
// one of their threads. Every case here once lost or corrupted a file.
#include "cli/cli_fixture.h"

namespace cmg290::cli_test {
namespace {

// Records that all group, so that the exit code is 0 however ungrouped
// records are counted.
std::string good_records() {
  const std::string r = RecordBuilder::valid().str();
  return r + "\n" + r + "\n" + r + "\n";
}

TEST_F(CliTest, PathsNamingADescriptorAreWrittenInPlace) {
  write("in.txt", good_records());
  const std::string results = tool("group -q in.txt").out;
  ASSERT_NE(results, "");

  // The shell appends to the log; the results must follow what it held.
  for (const char* redirect : {"-o /dev/stdout >> log.txt", "-o /proc/self/fd/1 >> log.txt",
                               "-o /dev/fd/3 3>> log.txt", "-o stdout-link >> log.txt"}) {
    write("log.txt", "earlier line\n");
    fs::remove(path("stdout-link"));
    fs::create_symlink("/dev/stdout", path("stdout-link"));
    const Outcome run = sh(std::string("\"$T\" group -q in.txt ") + redirect);
    EXPECT_EQ(run.code, 0) << redirect << ": " << run.err;
    EXPECT_EQ(read("log.txt"), "earlier line\n" + results) << redirect;
  }
  write("log.txt", "earlier line\n");
  EXPECT_EQ(sh("\"$T\" sample -n 2 -o /dev/stdout >> log.txt").code, 0);
  EXPECT_EQ(read("log.txt"), "earlier line\n" + tool("sample -n 2").out);

  // Appended to the input itself, the run would read its own results.
  for (const char* redirect :
       {"group -q in.txt -o /dev/stdout >> in.txt", "group -q in.txt -o /dev/fd/3 3>> in.txt",
        "explain in.txt -o /dev/stdout >> in.txt"}) {
    const Outcome run = sh(std::string("\"$T\" ") + redirect);
    EXPECT_EQ(run.code, 2) << redirect;
    EXPECT_NE(run.err.find("cmg290: input in.txt is also the output /dev/"), std::string::npos)
        << run.err;
    EXPECT_EQ(read("in.txt"), good_records()) << redirect;
  }

  const Outcome closed = tool("group -q in.txt -o /dev/fd/7");
  EXPECT_EQ(closed.code, 2);
  EXPECT_EQ(closed.err, "cmg290: cannot write /dev/fd/7: Bad file descriptor\n");
}

TEST_F(CliTest, DanglingLinkCreatesTheFileItPointsTo) {
  write("in.txt", good_records());
  const std::string results = tool("group -q in.txt").out;
  fs::create_directory(path("sub"));
  fs::create_symlink("sub/results.csv", path("link.csv"));
  fs::create_symlink("link.csv", path("link2.csv"));
  EXPECT_EQ(tool("group -q in.txt -o link2.csv").code, 0);
  EXPECT_TRUE(fs::is_symlink(path("link.csv")));
  EXPECT_TRUE(fs::is_symlink(path("link2.csv")));
  EXPECT_EQ(read("sub/results.csv"), results);

  fs::create_symlink("nosuch/results.csv", path("broken.csv"));
  const Outcome run = tool("group -q in.txt -o broken.csv");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot create broken.csv"), std::string::npos) << run.err;

  fs::create_symlink("loop.csv", path("loop.csv"));
  EXPECT_EQ(tool("group -q in.txt -o loop.csv").err,
            "cmg290: cannot write loop.csv: Too many levels of symbolic links\n");
}

TEST_F(CliTest, IdRangesPastTheLimitAreRefusedWithoutWrappingAround) {
  write("in.txt", good_records());
  EXPECT_EQ(tool("group -q --id 65536:1 in.txt").code, 0);
  for (const char* id : {"65536:2", "65537:1", "18446744073709551615:2", "18446744073709551615:1",
                         "9223372036854775808:1024", "1:18446744073709551615"}) {
    const Outcome run = tool(std::string("group -q --id ") + id + " in.txt");
    EXPECT_EQ(run.code, 2) << id;
    EXPECT_EQ(run.out, "") << id;
    EXPECT_NE(run.err.find("--id"), std::string::npos) << id << ": " << run.err;
  }
}

TEST_F(CliTest, JsonIdsEscapeEveryByteOutsidePrintableAscii) {
  std::string record = RecordBuilder::valid().str();
  record.replace(11, 4, std::string("~\x7f\x1f\x80", 4));
  write("in.txt", record + "\n");
  const Outcome run = tool("group -q -f jsonl --id 12:4 in.txt");
  EXPECT_NE(run.out.find(R"("id":"~\u007f\u001f\u0080")"), std::string::npos) << run.out;
}

#ifndef CMG290_SANITIZED
// Out of memory on a grouping thread (noting a short line) and on the
// writer (the header, once every thread runs): the run stops, removes its
// temporary file and says why.
TEST_F(CliTest, RunOutOfMemoryOnAnyThreadLeavesNoFile) {
  write("in.txt", good_records() + "IRF-PAI short line\n");
  write("out.csv", "earlier results\n");
  for (const char* mode : {"thread", "main:3"}) {
    const Outcome run =
        sh(std::string("LD_PRELOAD='") + CMG290_FAIL_ALLOC_LIBRARY + "' CMG290_FAIL_ALLOC=" + mode +
           " \"$T\" group -q --strict -j 2 in.txt -o out.csv");
    EXPECT_EQ(run.code, 2) << mode << ": " << run.err;
    EXPECT_EQ(run.err, "cmg290: out of memory\n") << mode;
    EXPECT_EQ(read("out.csv"), "earlier results\n") << mode;
    EXPECT_EQ(files_in_dir(), (std::vector<std::string>{"in.txt", "out.csv"})) << mode;
  }
}
#endif

}  // namespace
}  // namespace cmg290::cli_test
