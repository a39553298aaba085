// Gzip-compressed inputs of group, compare and explain: found by their
// magic bytes whatever their names, read into the rows of the plain file,
// and refused, naming the file, when damaged.
#include "cli_fixture.h"

namespace cmg290::cli_test {
namespace {

// Records around a line longer than a chunk, a short CRLF line, an empty
// line and a last record without a line end, in plain/mixed.txt and, under
// the same name, gzip-compressed in gz/ (two members in gz/two.txt);
// unzipped.txt is plain in both.
class GzipInput : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    const Outcome made =
        sh("mkdir plain gz\n"
           "\"$T\" sample -n 3000 -s 5 > records.txt\n"
           "{ head -n 1000 records.txt; head -c 9000000 /dev/zero | tr '\\0' 7; echo;\n"
           "  printf 'short\\r\\n\\n'; tail -n 2000 records.txt | head -c -1; } > plain/mixed.txt\n"
           "head -n 5 records.txt > plain/other.txt\n"
           "for f in mixed other; do gzip -c plain/$f.txt > gz/$f.txt; done\n"
           "cp plain/mixed.txt plain/two.txt\n"
           "cp plain/other.txt plain/unzipped.txt; cp plain/other.txt gz/unzipped.txt\n"
           "{ head -n 1500 plain/mixed.txt | gzip -1c; tail -n +1501 plain/mixed.txt | gzip -c; }"
           " > gz/two.txt\n"
           "\"$T\" tables export --all set 2> /dev/null\n");
    ASSERT_EQ(made.code, 0) << made.err;
  }
};

TEST_F(GzipInput, GivesTheRowsOfThePlainFile) {
  const auto run = [&](const std::string& script) {
    const Outcome o = sh(script);
    EXPECT_EQ(o.code, 0) << script << ": " << o.err;
    return o.out;
  };
  for (const std::string args : {"group -q -f jsonl --id 1:20 -j 3", "group -q --id 1:20"}) {
    SCOPED_TRACE(args);
    const std::string plain = run("cd plain && \"$T\" " + args + " mixed.txt");
    ASSERT_EQ(lines_of(plain).size(), args.find("jsonl") != std::string::npos ? 3002u : 3003u);
    EXPECT_EQ(run("cd gz && \"$T\" " + args + " mixed.txt"), plain);
    EXPECT_EQ(run("cd gz && \"$T\" " + args + " two.txt"), plain) << "two members";
    EXPECT_EQ(run("cat gz/mixed.txt | \"$T\" " + args), plain) << "a pipe";
    EXPECT_EQ(run("\"$T\" " + args + " < gz/two.txt"), plain) << "standard input, a file";
    // Standard input, a file read part way: the gzip data starts where it is.
    EXPECT_EQ(run("{ printf 'lead\\n'; cat gz/mixed.txt; } > lead.bin\n"
                  "{ dd bs=5 count=1 of=/dev/null status=none; \"$T\" " +
                  args + "; } < lead.bin"),
              plain);
    // Several inputs, gzip and plain mixed: line numbers start again per file.
    EXPECT_EQ(run("cd gz && \"$T\" " + args + " mixed.txt unzipped.txt other.txt"),
              run("cd plain && \"$T\" " + args + " mixed.txt unzipped.txt other.txt"));
  }
}

TEST_F(GzipInput, DamagedDataStopsTheRunNamingTheFileWithNoOutput) {
  const std::string gz = read("gz/mixed.txt");
  const std::string two = read("gz/two.txt");
  std::string crc = gz;
  crc[crc.size() - 6] ^= 0x40;
  write("cut.gz", gz.substr(0, gz.size() - 100));
  write("crc.gz", crc);
  write("garbage.gz", "\x1f\x8b" + read("plain/other.txt"));
  write("trailing.gz", gz + "\n");
  write("second.gz", two.substr(0, two.size() - 5));
  const std::string truncated =
      "damaged gzip data: the data ends inside a member: the file is "
      "truncated";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"cut.gz", truncated},
      {"second.gz", truncated},
      {"crc.gz", "damaged gzip data: CRC mismatch"},
      {"garbage.gz", "damaged gzip data: unknown compression method"},
      {"trailing.gz",
       "damaged gzip data: bytes after the compressed data that start no other gzip member"},
  };
  for (const auto& [file, what] : cases) {
    for (const std::string command : {"group -q", "explain", "compare --tier-tables set -q"}) {
      SCOPED_TRACE(file + " " + command);
      const std::string out = command.starts_with("compare") ? " --changed out.txt" : " -o out.txt";
      const Outcome named = tool(command + out + " plain/other.txt " + file);
      EXPECT_EQ(named.code, 2);
      EXPECT_EQ(named.err, "cmg290: cannot read " + file + ": " + what + "\n");
      EXPECT_FALSE(fs::exists(path("out.txt")));
    }
    const Outcome piped = sh("cat " + file + " | \"$T\" group -q -o out.txt");
    EXPECT_EQ(piped.code, 2);
    EXPECT_EQ(piped.err, "cmg290: cannot read standard input: " + what + "\n");
    EXPECT_FALSE(fs::exists(path("out.txt")));
  }
}

TEST_F(GzipInput, CompareAndExplainReadIt) {
  for (const std::string command :
       {"compare --tier-tables set -q --json", "explain -f json", "explain --line 1002"}) {
    SCOPED_TRACE(command);
    const Outcome plain = tool(command + " plain/two.txt");
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_GT(plain.out.size(), 100u);
    const Outcome gz = tool(command + " gz/two.txt");
    EXPECT_EQ(gz.code, 0) << gz.err;
    EXPECT_EQ(gz.out, plain.out);
    EXPECT_EQ(sh("cat gz/two.txt | \"$T\" " + command).out, plain.out);
  }
}

#ifndef CMG290_SANITIZED
// A small file that inflates to one line of 300 MB, then to three million
// tiny lines: read in bounded chunks, the long line cut to its head.
TEST_F(GzipInput, ABombKeepsMemoryBounded) {
  if (access("/usr/bin/time", X_OK) != 0) GTEST_SKIP() << "needs GNU time in /usr/bin/time";
  const Outcome run =
      sh("{ head -c 300000000 /dev/zero | tr '\\0' 7; echo; yes x | head -n 3000000; } |"
         " gzip -1 > bomb.gz\n"
         "ls -l bomb.gz >&2\n"
         "/usr/bin/time -q -f 'peak %M' \"$T\" group -q -j 4 -f jsonl bomb.gz | tail -n 1\n");
  std::istringstream peak(run.err.substr(run.err.find("peak")));
  std::string word;
  long kib = 0;
  peak >> word >> kib;
  EXPECT_GT(kib, 0) << run.err;
  EXPECT_LT(kib, 64 * 1024) << "peak resident memory in KiB";
  EXPECT_TRUE(run.out.starts_with("{\"line\":3000001,")) << run.out;
}
#endif

}  // namespace
}  // namespace cmg290::cli_test
