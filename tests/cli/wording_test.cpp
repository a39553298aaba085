// The wording of what `cmg290` prints for people: counts of one in the
// singular, and the subcommand list of `cmg290 --help` in full sentences.
#include "cli/cli_fixture.h"

namespace cmg290::cli_test {
namespace {

TEST_F(CliTest, SummaryCountsOfOneAreSingular) {
  const std::string r = RecordBuilder::valid().str() + "\n";
  write("one.txt", r);
  write("two.txt", r + r);
  EXPECT_TRUE(tool("group one.txt").err.starts_with("cmg290 group: 1 record from 1 input in "));
  EXPECT_TRUE(tool("group two.txt").err.starts_with("cmg290 group: 2 records from 1 input in "));
  EXPECT_TRUE(
      tool("group one.txt two.txt").err.starts_with("cmg290 group: 3 records from 2 inputs in "));
  EXPECT_TRUE(tool("group - < /dev/null").err.starts_with("cmg290 group: 0 records from 1 input "));
}

// Every subcommand's line of `cmg290 --help` ends in a full stop.
TEST_F(CliTest, HelpDescribesEachSubcommandInASentence) {
  const Outcome run = tool("--help");
  ASSERT_EQ(run.code, 0) << run.err;
  int described = 0;
  for (const char* name : {"group", "sample", "tables", "explain", "build", "serve"}) {
    for (const std::string& line : lines_of(run.out)) {
      if (!line.starts_with(std::string("  ") + name + " ")) continue;
      ++described;
      EXPECT_TRUE(line.ends_with(".")) << line;
    }
  }
  EXPECT_EQ(described, 6) << run.out;
  for (const std::string& line : lines_of(tool("tables --help").out)) {
    if (line.starts_with("  check ") || line.starts_with("  export ") ||
        line.starts_with("  import ")) {
      EXPECT_TRUE(line.ends_with(".")) << line;
    }
  }
}

}  // namespace
}  // namespace cmg290::cli_test
