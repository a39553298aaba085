// End-to-end tests of the cmg290 tool: each runs the built binary through
// bash in a scratch folder and looks at its output files, standard output,
// standard error and exit code.
#include "cli/cli_fixture.h"

namespace cmg290::cli_test {
namespace {

// ---------------------------------------------------------------------------
// Output formats

TEST_F(CliTest, GoldenOutputsOfTheExampleRecords) {
  const std::string input = kSourceDir + "/examples/assessments.txt";
  const std::string golden = kSourceDir + "/tests/cli/golden/";
  const std::string hint = " differs; if the change is intended, run tests/cli/update_golden.sh";
  struct Case {
    std::string args, file;
  } cases[] = {
      {"-f csv", "assessments.csv"},
      {"-f jsonl", "assessments.jsonl"},
      {"-f fixed --id 1:10", "assessments.fixed"},
  };
  for (const Case& c : cases) {
    const Outcome run = tool("group -q " + c.args + " '" + input + "'");
    EXPECT_EQ(run.code, 0) << c.args << ": ungrouped records are results\n" << run.err;
    EXPECT_EQ(run.err, "");
    // JSON Lines rows name the tier-table set, a member the golden file
    // predates.
    const std::string out = c.file == "assessments.jsonl" ? without_set_member(run.out) : run.out;
    EXPECT_EQ(out, slurp(golden + c.file)) << c.file << hint;
  }
  const Outcome sample = sh("\"$T\" sample --count 300 --seed 7 | \"$T\" group -q --id 12:10");
  EXPECT_EQ(sample.out, slurp(golden + "sample_300_seed_7.csv")) << "sample_300_seed_7.csv" << hint;
}

// Records with every kind of awkward byte in them: the CSV and JSON Lines
// rows must carry the library's own results and give back the id bytes.
TEST_F(CliTest, CsvAndJsonLinesCarryTheLibraryResultsForAnyBytes) {
  std::vector<std::string> records;
  const std::string awkward[] = {std::string("a,b\"c\\d", 7), std::string("nul\0nul", 7),
                                 "caf\xe9 \xff\x80", std::string("cr\rtab\t\x01\x7f", 10),
                                 "  plain   "};
  for (const std::string& id : awkward) records.push_back(RecordBuilder::valid().at(12, id).str());
  records.push_back(RecordBuilder::valid().at(700, std::string("\0\xc3\xa9", 3)).str());
  records.push_back(RecordBuilder::valid().impairment(std::string("\xff\0 01.1", 7)).str());
  records.push_back(RecordBuilder::valid().at(883, std::string(1, '\0')).str());
  records.push_back(RecordBuilder::valid().str().substr(0, 15));  // id cut off by the line end
  std::string input;
  for (const std::string& r : records) input += r + "\n";
  const std::string sample = sh("\"$T\" sample -n 2000 -s 3").out;
  input += sample;
  for (const std::string& r : lines_of(sample)) records.push_back(r);
  write("in.txt", input);

  const Outcome csv = tool("group -q --id 12:10 in.txt");
  const Outcome jsonl = tool("group -q --id 12:10 -f jsonl in.txt");
  const auto rows = parse_csv(csv.out);
  const auto jlines = lines_of(jsonl.out);
  ASSERT_EQ(rows.size(), records.size() + 1);
  ASSERT_EQ(jlines.size(), records.size());
  EXPECT_EQ(rows[0], (std::vector<std::string>{"line", "id", "status", "description", "cmg",
                                               "motor_score", "cognitive_score", "age",
                                               "table_version", "grouper_version"}));
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::string id = records[i].size() > 11 ? records[i].substr(11, 10) : "";
    id.resize(10, ' ');
    std::vector<std::string> want = expected_fields(static_cast<std::int64_t>(i + 1), records[i]);
    want.insert(want.begin() + 1, id);
    ASSERT_EQ(rows[i + 1], want) << "line " << i + 1;

    const nlohmann::json j = nlohmann::json::parse(jlines[i]);  // throws on invalid JSON
    EXPECT_EQ(j["line"], i + 1);
    EXPECT_EQ(latin1_bytes(j["id"].get<std::string>()), id) << "line " << i + 1;
    const char* keys[] = {"status",          "description", "cmg",           "motor_score",
                          "cognitive_score", "age",         "table_version", "grouper_version"};
    for (std::size_t k = 0; k < std::size(keys); ++k) {
      EXPECT_TRUE(same_value(j[keys[k]], want[k + 2])) << keys[k] << ", line " << i + 1;
    }
  }
}

// Field values no record should hold: the rows carry what the library makes
// of them, in every format, and the fixed-width columns stay in place for
// the widest scores.
TEST_F(CliTest, ImpossibleDatesAndItemsCarryTheLibraryResults) {
  const std::string records[] = {
      RecordBuilder::valid().birthDate("19501332").ageDate("20201331").str(),
      RecordBuilder::valid().versionDate("00000000").str(),
      RecordBuilder::valid().birthDate("00000000").str(),
      RecordBuilder::valid().ageDate("00000000").str(),
      RecordBuilder::valid().allMotor("99").allCognitive("99").str(),
      RecordBuilder::valid().allMotor("-9").allCognitive("-9").str(),
      RecordBuilder::valid().allMotor("07").motor(1, "-9").str(),
  };
  std::string input;
  for (const std::string& r : records) input += r + "\n";
  write("in.txt", input);
  const Outcome csv = tool("group -q in.txt");
  EXPECT_EQ(csv.code, 0);
  const auto rows = parse_csv(csv.out);
  ASSERT_EQ(rows.size(), std::size(records) + 1);
  for (std::size_t i = 0; i < std::size(records); ++i) {
    EXPECT_EQ(rows[i + 1], expected_fields(static_cast<std::int64_t>(i + 1), records[i]));
  }
  EXPECT_EQ(rows[3][1] + " " + rows[3][6], "7 2020") << "born in year 0";
  EXPECT_EQ(rows[5][3] + " " + rows[5][4] + " " + rows[5][5], "A 1188.0 495") << "items of 99";
  EXPECT_EQ(rows[6][3] + " " + rows[6][4] + " " + rows[6][5], "A -108.0 -45") << "items of -9";

  const auto jlines = lines_of(tool("group -q -f jsonl in.txt").out);
  ASSERT_EQ(jlines.size(), std::size(records));
  EXPECT_EQ(nlohmann::json::parse(jlines[4])["motor_score"], 1188.0);
  EXPECT_EQ(nlohmann::json::parse(jlines[5])["cognitive_score"], -45);

  const auto fixed = lines_of(tool("group -q -f fixed in.txt").out);
  ASSERT_EQ(fixed.size(), std::size(records));
  const std::size_t width = fixed[0].rfind(" 2.90 ");
  for (const std::string& row : fixed) EXPECT_EQ(row.rfind(" 2.90 "), width) << row;
}

// A file of random bytes: a row for every line that is not empty, each with
// the library's result for that line, and no crash.
TEST_F(CliTest, BinaryInputGivesARowPerLine) {
  std::mt19937 rng(1251);
  std::string input;
  for (int k = 0; k < 20; ++k) {
    for (int i = 0; i < 50000; ++i) input += static_cast<char>(rng());
    input += "\n" + RecordBuilder::valid().str() + "\r\n";
  }
  write("in.bin", input);
  std::vector<std::string> records;
  std::vector<std::int64_t> numbers;
  std::int64_t number = 0;
  for (std::string line : lines_of(input)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    records.push_back(line);
    numbers.push_back(number);
  }
  const Outcome run = tool("group -j 3 in.bin");
  EXPECT_EQ(run.code, 0);
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), records.size() + 1);
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_EQ(rows[i + 1], expected_fields(numbers[i], records[i])) << "row " << i + 1;
  }
  EXPECT_EQ(summary_count(run.err, "grouped"), 20) << run.err;
  EXPECT_EQ(summary_count(run.err, "empty lines"),
            number - static_cast<std::int64_t>(records.size()))
      << run.err;
  for (const std::string& line : lines_of(tool("group -q -f jsonl in.bin").out)) {
    ASSERT_TRUE(nlohmann::json::accept(line)) << line;
  }
}

TEST_F(CliTest, MotorScoresWithoutALeadingDigitAreValidJson) {
  // Items of -1, item 7 of -2 and item 9 of 5 weigh up to 7 tenths, which
  // the grouper writes ".7": JSON needs the leading zero.
  RecordBuilder b = RecordBuilder::valid();
  b.allMotor("-1").motor(7, "-2").motor(9, "05");
  const cmg290::Result r = cmg290::group(b.str());
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(trim(r.motorScore), ".7");
  write("in.txt", b.str() + "\n");
  const Outcome run = tool("group -q -f jsonl in.txt");
  ASSERT_TRUE(nlohmann::json::accept(run.out)) << run.out;
  EXPECT_NE(run.out.find("\"motor_score\":0.7,"), std::string::npos) << run.out;
  EXPECT_DOUBLE_EQ(nlohmann::json::parse(run.out)["motor_score"].get<double>(), 0.7);
}

// ---------------------------------------------------------------------------
// Reading input

TEST_F(CliTest, LineEndsEmptyLinesAndTheLastLine) {
  const std::string text = example_records();
  write("lf.txt", text);
  const std::string lf = tool("group -q lf.txt").out;

  std::string crlf;
  for (const std::string& l : lines_of(text)) crlf += l + "\r\n";
  write("crlf.txt", crlf);
  EXPECT_EQ(tool("group -q crlf.txt").out, lf) << "CRLF line ends";

  write("noend.txt", text.substr(0, text.size() - 1));
  EXPECT_EQ(tool("group -q noend.txt").out, lf) << "last line without its line end";

  // Empty lines are skipped but keep their line numbers.
  const std::string rec = RecordBuilder::valid().str();
  write("gaps.txt", "\n" + rec + "\n\r\n\n" + rec + "\n");
  const Outcome gaps = tool("group gaps.txt");
  const auto rows = parse_csv(gaps.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], "2");
  EXPECT_EQ(rows[2][0], "5");
  EXPECT_EQ(summary_count(gaps.err, "empty lines"), 3) << gaps.err;
  EXPECT_EQ(summary_count(gaps.err, "grouped"), 2) << gaps.err;
  EXPECT_EQ(gaps.code, 0);
}

TEST_F(CliTest, ShortLinesReadAsBlankFilledOrRejectedWithStrict) {
  const std::string full = RecordBuilder::valid().comorbid(3, "J38.01^^").str();
  const std::string cut = trim(full);  // trailing blanks stripped by some other tool
  ASSERT_LT(cut.size(), cmg290::kRecordLength);
  write("in.txt", full + "\n" + cut + "\n" + full + "\n");

  const Outcome lenient = tool("group in.txt");
  EXPECT_EQ(lenient.code, 0);
  const auto rows = parse_csv(lenient.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(std::vector(rows[2].begin() + 1, rows[2].end()),
            std::vector(rows[1].begin() + 1, rows[1].end()))
      << "a stripped record groups like the full one";
  EXPECT_EQ(summary_count(lenient.err, "short lines"), 1) << lenient.err;

  const Outcome strict = tool("group --strict in.txt");
  EXPECT_EQ(strict.code, 0);
  EXPECT_EQ(tool("group -q in.txt --fail-on-ungrouped").code, 0) << "short lines are grouped";
  EXPECT_EQ(tool("group -q --strict --fail-on-ungrouped in.txt").code, 1);
  const auto srows = parse_csv(strict.out);
  ASSERT_EQ(srows.size(), 4u);
  EXPECT_EQ(srows[1], rows[1]);
  EXPECT_EQ(srows[3][0], "3");
  EXPECT_EQ(srows[2], (std::vector<std::string>{"2", "-1", "line shorter than 1251 characters", "",
                                                "", "", "", "", "2.90"}));
  EXPECT_NE(strict.err.find("in.txt:2: line has " + std::to_string(cut.size()) + " characters"),
            std::string::npos)
      << strict.err;
  EXPECT_EQ(summary_count(strict.err, "status -1"), 1) << strict.err;
  EXPECT_EQ(summary_count(strict.err, "grouped"), 2) << strict.err;
}

// A line longer than a whole chunk is grouped from its head as it stands: a
// carriage return where the head ends is a character of the record, not a
// line end, so the line is not short, unlike a CRLF line of that head.
TEST_F(CliTest, HeadOfALongLineKeepsACarriageReturn) {
  const std::string head = RecordBuilder::valid().str().substr(0, 1250) + "\r";
  write("in.txt", head + std::string(3000000, '7') + "\n" + head + "\n");
  const Outcome run = tool("group --strict in.txt");
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 3u) << run.err;
  EXPECT_EQ(rows[1], expected_fields(1, head));
  EXPECT_EQ(rows[1][1], "0");
  EXPECT_EQ(rows[2][1], "-1");
  EXPECT_EQ(summary_count(run.err, "short lines"), 1) << run.err;
}

TEST_F(CliTest, EmptyInputStandardInputAndSeveralInputs) {
  write("empty.txt", "");
  Outcome run = tool("group empty.txt");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out,
            "line,status,description,cmg,motor_score,cognitive_score,age,table_version,"
            "grouper_version\n");
  EXPECT_EQ(tool("group -q -f jsonl empty.txt").out, "");
  EXPECT_EQ(tool("group -q -f fixed < empty.txt").out, "");

  write("ex.txt", example_records());
  const std::string fromFile = tool("group -q -f jsonl ex.txt").out;
  EXPECT_EQ(tool("group -q -f jsonl < ex.txt").out, fromFile);
  EXPECT_EQ(sh("cat ex.txt | \"$T\" group -q -f jsonl -").out, fromFile);

  // Several inputs: a file column, line numbers start again in each file.
  write("one.txt", RecordBuilder::valid().str() + "\n");
  const auto rows = parse_csv(tool("group -q one.txt ex.txt one.txt").out);
  ASSERT_EQ(rows.size(), 1u + 1 + 30 + 1);
  EXPECT_EQ(rows[0][0], "file");
  EXPECT_EQ(rows[1][0] + ":" + rows[1][1], "one.txt:1");
  EXPECT_EQ(rows[2][0] + ":" + rows[2][1], "ex.txt:1");
  EXPECT_EQ(rows[31][0] + ":" + rows[31][1], "ex.txt:30");
  EXPECT_EQ(rows[32][0] + ":" + rows[32][1], "one.txt:1");
}

// Enough data for many chunks: the order and the line numbers must not
// depend on how many threads group it, including the path taken when the
// results of a chunk of very short lines outgrow their buffer, and a line
// longer than a whole chunk.
TEST_F(CliTest, OutputIsTheSameForAnyNumberOfThreads) {
  const Outcome gen =
      sh("\"$T\" sample -n 20000 -s 11 > big.txt\n"
         "yes x | head -n 300000 > tiny.txt\n"
         "head -n 5 big.txt > long.txt\n"
         "{ head -c 1251 big.txt; head -c 3000000 /dev/zero | tr '\\0' 7; echo; } >> long.txt\n"
         "head -n 5 big.txt >> long.txt\n");
  ASSERT_EQ(gen.code, 0) << gen.err;
  for (const char* file : {"big.txt", "tiny.txt", "long.txt"}) {
    const Outcome one = tool(std::string("group -q -j 1 -f fixed ") + file);
    const Outcome four = tool(std::string("group -q -j 4 -f fixed ") + file);
    EXPECT_EQ(one.out, four.out) << file;
    const auto lines = lines_of(one.out);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_EQ(std::stol(lines[i].substr(0, 10)), static_cast<long>(i + 1)) << file;
    }
  }
  const auto big = lines_of(read("big.txt"));
  EXPECT_EQ(lines_of(tool("group -q -j 4 -f fixed big.txt").out).size(), big.size());
  // The long line is grouped from its first 1251 characters.
  const auto rows = parse_csv(tool("group -q -j 3 long.txt").out);
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[6], expected_fields(6, big[0].substr(0, 1251) + std::string(3000000, '7')));
  EXPECT_EQ(rows[11], expected_fields(11, big[4]));
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(CliTest, UnreadableInputIsAFatalErrorNamingTheFile) {
  write("ex.txt", example_records());
  fs::create_directory(path("adir"));
  for (const char* args : {"group nosuch.txt -o out.csv", "group ex.txt nosuch.txt -o out.csv",
                           "group adir -o out.csv"}) {
    const Outcome run = tool(args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
    EXPECT_TRUE(run.err.find("nosuch.txt") != std::string::npos ||
                run.err.find("adir") != std::string::npos)
        << run.err;
    EXPECT_EQ(files_in_dir(), (std::vector<std::string>{"adir", "ex.txt"})) << args;
  }
  // A file that opens but fails when read (this one from its first byte),
  // after another input was read in full: still no output file.
  const Outcome failing = tool("group ex.txt /proc/self/mem -o out.csv");
  EXPECT_EQ(failing.code, 2);
  EXPECT_EQ(failing.err, "cmg290: cannot read /proc/self/mem: Input/output error\n");
  EXPECT_EQ(files_in_dir(), (std::vector<std::string>{"adir", "ex.txt"}));
}

TEST_F(CliTest, UnwritableOutputIsAFatalErrorLeavingNoFile) {
  write("ex.txt", example_records());
  fs::create_directory(path("adir"));
  for (const char* args : {"group ex.txt -o nosuch/out.csv", "group ex.txt -o adir"}) {
    const Outcome run = tool(args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
    const std::string output = std::string(args).substr(std::string("group ex.txt -o ").size());
    EXPECT_NE(run.err.find(output), std::string::npos) << run.err;
  }
  // A device that refuses every write: written in place, never replaced.
  Outcome full = tool("group ex.txt -o /dev/full");
  EXPECT_EQ(full.code, 2);
  EXPECT_NE(full.err.find("/dev/full: No space left on device"), std::string::npos) << full.err;
  struct stat st;
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode)) << "/dev/full must stay a device";
  full = sh("\"$T\" group ex.txt > /dev/full");
  EXPECT_EQ(full.code, 2);
  EXPECT_NE(full.err.find("standard output: No space left on device"), std::string::npos);

  // Appending to an input would feed the results back in without end.
  const Outcome loop = sh("\"$T\" group ex.txt >> ex.txt");
  EXPECT_EQ(loop.code, 2);
  EXPECT_EQ(loop.err, "cmg290: input ex.txt is also standard output\n");
  EXPECT_EQ(read("ex.txt"), example_records());

  // A full disk, played by a file-size limit: the earlier output survives
  // untouched and no temporary file is left.
  write("big.txt", sh("\"$T\" sample -n 3000").out);
  write("out.csv", "earlier results\n");
  const Outcome limited = sh("ulimit -f 64; \"$T\" group -q big.txt -o out.csv");
  EXPECT_EQ(limited.code, 2);
  EXPECT_NE(limited.err.find("cannot write out.csv: File too large"), std::string::npos)
      << limited.err;
  EXPECT_EQ(read("out.csv"), "earlier results\n");
  EXPECT_EQ(files_in_dir(), (std::vector<std::string>{"adir", "big.txt", "ex.txt", "out.csv"}));
}

TEST_F(CliTest, InterruptedRunLeavesNoFile) {
  // The tool waits on a pipe that stays open; SIGTERM must remove its
  // temporary file.
  const Outcome run =
      sh("mkfifo ../fifo\n"
         "\"$T\" group -q -o out.csv < ../fifo & pid=$!\n"
         "exec 3> ../fifo\n"
         "for i in $(seq 200); do ls -A | grep -q out.csv && break; sleep 0.05; done\n"
         "ls -A\n"
         "kill -TERM $pid; wait $pid; echo \"status $?\"\n"
         "exec 3>&-\n");
  EXPECT_NE(run.out.find(".out.csv."), std::string::npos) << "temporary file while running";
  EXPECT_NE(run.out.find("status 143"), std::string::npos) << run.out;
  EXPECT_EQ(files_in_dir(), std::vector<std::string>{});
}

TEST_F(CliTest, ClosedPipeEndsQuietly) {
  const Outcome run =
      sh("\"$T\" sample -n 50000 > big.txt\n"
         "\"$T\" group big.txt | head -n 2; echo \"status ${PIPESTATUS[0]}\"");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(lines_of(run.out).size(), 3u);
  EXPECT_EQ(lines_of(run.out).back(), "status 0");
}

// ---------------------------------------------------------------------------
// Replacing the output

TEST_F(CliTest, OutputFileIsReplacedKeepingItsModeAndLinks) {
  write("ex.txt", example_records());
  const std::string expected = tool("group -q ex.txt").out;
  write("out.csv", "old\n");
  fs::permissions(path("out.csv"), fs::perms(0640));
  fs::create_symlink("out.csv", path("link.csv"));
  EXPECT_EQ(tool("group -q ex.txt -o link.csv").code, 0);
  EXPECT_TRUE(fs::is_symlink(path("link.csv")));
  EXPECT_EQ(read("out.csv"), expected);
  EXPECT_EQ(fs::status(path("out.csv")).permissions(), fs::perms(0640));

  EXPECT_EQ(sh("umask 027; \"$T\" group -q ex.txt -o new.csv").code, 0);
  EXPECT_EQ(fs::status(path("new.csv")).permissions(), fs::perms(0640));
  EXPECT_EQ(read("new.csv"), expected);
}

// ---------------------------------------------------------------------------
// Exit codes, summary, options

TEST_F(CliTest, ExitCodesSummaryAndOptions) {
  write("good.txt", RecordBuilder::valid().str() + "\n" + RecordBuilder::valid().str() + "\n");
  Outcome run = tool("group good.txt");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.err.find("cmg290 group: 2 records from 1 input in"), std::string::npos) << run.err;
  EXPECT_EQ(summary_count(run.err, "grouped"), 2) << run.err;
  EXPECT_EQ(summary_count(run.err, "not grouped"), 0) << run.err;
  EXPECT_EQ(summary_count(run.err, "tier A"), 2) << run.err;
  EXPECT_EQ(tool("group -q good.txt").err, "");

  write("ex.txt", example_records());
  run = tool("group -o out.csv ex.txt");
  EXPECT_EQ(run.code, 0) << "ungrouped records are results, not a failed run";
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(summary_count(run.err, "status 9"), 1) << run.err;
  run = tool("group --fail-on-ungrouped -o out2.csv ex.txt");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(read("out2.csv"), read("out.csv")) << "the results are written all the same";
  EXPECT_EQ(tool("group -q --fail-on-ungrouped good.txt").code, 0);
  EXPECT_EQ(tool("group -q --fail-on-ungrouped missing.txt").code, 2) << "a missing input";

  for (const char* bad : {"group -f xml good.txt", "group --id 0:5 good.txt",
                          "group --id 12 good.txt", "group --id 1:2000 good.txt",
                          "group -j 0 good.txt", "frobnicate", "", "sample", "sample -n x"}) {
    run = tool(bad);
    EXPECT_EQ(run.code, 2) << bad;
    EXPECT_NE(run.err, "") << bad;
    EXPECT_EQ(run.out, "") << bad;
  }
  EXPECT_EQ(tool("frobnicate").err,
            "cmg290: unknown subcommand 'frobnicate' (subcommands: group, sample, tables, "
            "explain, build, serve, compare, report; see cmg290 --help)\n");
  run = tool("--version");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("2.90"), std::string::npos);
  run = tool("group --help");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("Exit codes"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Synthetic records

TEST_F(CliTest, SampleRecordsAreReproducibleAndVaried) {
  const std::string a = tool("sample -n 5000 -s 5").out;
  EXPECT_EQ(tool("sample --count 5000 --seed 5").out, a);
  EXPECT_NE(tool("sample -n 5000 -s 6").out, a);
  const auto records = lines_of(a);
  ASSERT_EQ(records.size(), 5000u);
  std::set<std::string> versions;
  std::set<int> statuses;
  std::set<char> tiers;
  int shortLines = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_LE(records[i].size(), cmg290::kRecordLength);
    if (records[i].size() < cmg290::kRecordLength) ++shortLines;
    char number[24];
    std::snprintf(number, sizeof number, "%010zu", i + 1);
    EXPECT_EQ(records[i].substr(11, 10), number);
    const cmg290::Result r = cmg290::group(records[i]);
    statuses.insert(r.status);
    if (r.status == 0) {
      versions.insert(r.tableVersion);
      tiers.insert(r.cmg[0]);
    }
  }
  EXPECT_EQ(versions, (std::set<std::string>{"2.40", "2.50", "2.60", "2.70", "2.82", "2.90"}));
  EXPECT_EQ(statuses, (std::set<int>{0, 1, 2, 3, 5, 6, 7, 9}));
  EXPECT_EQ(tiers, (std::set<char>{'A', 'B', 'C', 'D'}));
  EXPECT_GT(shortLines, 0);
  EXPECT_LT(shortLines, 100);
}

#ifndef CMG290_SANITIZED
TEST_F(CliTest, MemoryStaysBoundedWhateverTheInput) {
  // GNU time reports the peak resident memory of the tool alone; the
  // rusage of a child we start ourselves would include our own memory.
  if (access("/usr/bin/time", X_OK) != 0) GTEST_SKIP() << "needs GNU time in /usr/bin/time";
  // Results many times larger than their input lines, a line far longer
  // than a chunk, and a large file of ordinary records.
  const Outcome run = sh(
      "yes x | head -n 3000000 > tiny.txt\n"
      "head -c 200000000 /dev/zero | tr '\\0' 7 > long.txt\n"
      "\"$T\" sample -n 100000 > big.txt\n"
      "for f in tiny.txt long.txt big.txt; do\n"
      "  /usr/bin/time -q -f \"$f %M\" \"$T\" group -q -j 4 -f jsonl --id 1:1024 $f -o /dev/null\n"
      "done\n");
  std::istringstream peaks(run.err);
  std::string file;
  long kib;
  int files = 0;
  while (peaks >> file >> kib) {
    ++files;
    EXPECT_LT(kib, 64 * 1024) << file << ": peak resident memory in KiB";
  }
  EXPECT_EQ(files, 3) << run.err;
}
#endif

}  // namespace
}  // namespace cmg290::cli_test
