// The fixture every end-to-end test runs the tool through: what it reports
// must be what happened, or the tests above it pass on a tool that failed.
#include "cli/cli_fixture.h"

namespace cmg290::cli_test {
namespace {

TEST_F(CliTest, RunsEndedBySignalAreReportedAsBashReportsThem) {
  EXPECT_EQ(sh("kill -TERM $$").code, 143);
  EXPECT_EQ(run_into_closed_pipe({"/bin/sh", "-c", "kill -PIPE $$"}).code, 141);
  EXPECT_EQ(sh("exit 3").code, 3);
}

TEST_F(CliTest, ClosedPipeRunsWriteIntoAPipeNobodyReadsFromTheScratchFolder) {
  // With SIGPIPE ignored, the write fails rather than filling the pipe.
  const Outcome run = run_into_closed_pipe(
      {"/bin/sh", "-c", "trap '' PIPE; pwd >&2; echo x || echo refused >&2; exit 4"});
  EXPECT_EQ(run.code, 4);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(lines_of(run.err).front(), dir_.string());
  EXPECT_EQ(lines_of(run.err).back(), "refused");
  // The scratch folder holds what the tests write, and nothing of the runs.
  write("a.txt", "a");
  EXPECT_EQ(sh("ls").out, "a.txt\n");
  EXPECT_EQ(files_in_dir(), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace cmg290::cli_test
