// How `cmg290 group` reads its inputs: a regular file is read in place, a
// pipe with read(); both must give the same rows, whatever the lines.
#include "cli/cli_fixture.h"

namespace cmg290::cli_test {
namespace {

TEST_F(CliTest, FilesReadInPlaceGiveTheSameRowsAsPipes) {
  // Records around a line longer than a chunk (its head is kept), a short
  // CRLF line, an empty line, and a last record without a line end.
  const Outcome made =
      sh("\"$T\" sample -n 3000 -s 5 > records.txt\n"
         "{ head -n 1000 records.txt; head -c 9000000 /dev/zero | tr '\\0' 7; echo;\n"
         "  printf 'short\\r\\n\\n'; tail -n 2000 records.txt | head -c -1; } > mixed.txt\n");
  ASSERT_EQ(made.code, 0) << made.err;

  const std::string args = "group -q -f jsonl --id 1:20 -j 3";
  const Outcome piped = sh("cat mixed.txt | \"$T\" " + args);
  ASSERT_EQ(piped.code, 0) << piped.err;
  ASSERT_EQ(lines_of(piped.out).size(), 3002u);
  EXPECT_EQ(tool(args + " mixed.txt").out, piped.out);
  EXPECT_EQ(sh("\"$T\" " + args + " < mixed.txt").out, piped.out);

  // Standard input that is a file already partly read starts where it is.
  const Outcome rest = sh("tail -c +1251001 mixed.txt | \"$T\" " + args);
  const Outcome skipped =
      sh("{ dd bs=1251000 count=1 of=/dev/null status=none; \"$T\" " + args + "; } < mixed.txt");
  ASSERT_EQ(skipped.code, 0) << skipped.err;
  EXPECT_EQ(skipped.out, rest.out);
}

// A file that another program cuts short while a run reads it is a fault
// of the run, not input to group or explain: the run stops on it, whether
// it reads the file in place (group) or with read() (explain). The output
// is a FIFO that the script reads a little of, which holds the run back
// while the file is cut to nothing; most of the file is then still unread.
TEST_F(CliTest, AFileCutShortWhileItIsReadStopsTheRun) {
  ASSERT_EQ(tool("sample -n 40000 -s 3 -o records.txt").code, 0);
  for (const char* command : {"group -q -j 1", "explain"}) {
    const Outcome run =
        sh(std::string("cp records.txt big.txt && rm -f out.fifo && mkfifo out.fifo\n") +
           "\"$T\" " + command +
           " big.txt -o out.fifo 2> err.txt & pid=$!\n"
           "exec 3< out.fifo\n"
           "head -c 20000 <&3 > /dev/null\n"
           ": > big.txt\n"
           "cat <&3 > /dev/null\n"
           "wait $pid; echo $?\n");
    EXPECT_EQ(run.out, "2\n") << command << ": " << run.err;
    EXPECT_EQ(read("err.txt"),
              "cmg290: cannot read big.txt: the file was cut short while it was being read\n")
        << command;
  }
}
}  // namespace
}  // namespace cmg290::cli_test
