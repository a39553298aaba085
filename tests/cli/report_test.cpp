// cmg290 report: the weights file's checks and the pairs it must give, the
// counts behind the case-mix index, and the command end to end on what
// must not leave a report behind (a refused weights file, no records, an
// input that fails part way) and on what the page must never hold.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "cli_fixture.h"
#include "cmg290/status.h"
#include "report/figures.h"
#include "report/report_tally.h"
#include "report/weights.h"
#include "tier_set_files.h"
#include "weights_file.h"

namespace cmg290::cli_test {
namespace {

namespace report = cmg290::cli::report;
using report::ReachableTiers;
using report::WeightTable;

ReachableTiers all_tiers() {
  ReachableTiers r{};
  for (auto& ric : r) ric.fill(true);
  return r;
}

std::vector<std::string> weight_problems(const std::string& text,
                                         const ReachableTiers& required = all_tiers()) {
  std::vector<std::string> problems;
  WeightTable table;
  EXPECT_FALSE(report::read_weights("w.csv", text, required, table, problems));
  return problems;
}

bool has(const std::vector<std::string>& problems, const std::string& text) {
  return std::find(problems.begin(), problems.end(), text) != problems.end();
}

TEST(ReportWeights, EveryFaultNamedByFileLineAndReason) {
  const std::string full = full_weights();
  ASSERT_GT(full.size(), 1000u);
  {
    std::vector<std::string> problems;
    WeightTable table;
    EXPECT_TRUE(report::read_weights("w.csv", full, all_tiers(), table, problems));
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(table.weight(101, 'A'), 1500000);
    EXPECT_EQ(table.average_los(101, 'A'), 10000000);
  }
  // Faults on lines 2 to 11, all of them reported, and the pairs those
  // lines fail to give named as missing.
  const std::string faulty =
      "cmg,tier,weight,average_los\n"
      "0101,A,0,\n"          // 2 a weight that is not positive
      "0101,B,-1.2,5\n"      // 3 a sign
      "0101,C,abc,5\n"       // 4 not a number
      "0101,D,1.1234567,\n"  // 5 more decimals than kept
      "0102,A,1.0,x\n"       // 6 a bad average_los
      "0102,B,1.0,0\n"       // 7 an average_los of zero
      "0199,A,1.0,\n"        // 8 not a CMG of the grouper
      "101,A,1.0,\n"         // 9 not four digits
      "0102,E,1.0,\n"        // 10 no such tier
      "0102,C,1.0\n"         // 11 three cells
      "0102,D,1.0,\n"        // 12 fine
      "0102,D,2.0,\n";       // 13 repeats line 12
  const auto problems = weight_problems(faulty);
  for (const char* want : {
           "w.csv:2: weight \"0\" is not a positive number (at most 6 decimals)",
           "w.csv:3: weight \"-1.2\" is not a positive number (at most 6 decimals)",
           "w.csv:4: weight \"abc\" is not a positive number (at most 6 decimals)",
           "w.csv:5: weight \"1.1234567\" is not a positive number (at most 6 decimals)",
           "w.csv:6: average_los \"x\" is neither empty nor a positive number of days",
           "w.csv:7: average_los \"0\" is neither empty nor a positive number of days",
           "w.csv:8: cmg 0199 is not a CMG of the grouper",
           "w.csv:9: cmg \"101\" is not four digits",
           "w.csv:10: tier \"E\" is not A to D",
           "w.csv:11: wants 4 cells (cmg,tier,weight,average_los), has 3",
           "w.csv:13: cmg 0102 tier D repeats line 12",
           "w.csv: no weight for cmg 0103 tier A",
       }) {
    EXPECT_TRUE(has(problems, want)) << want;
  }
  // A line faulty in its numbers only still names its pair: not missing too.
  EXPECT_FALSE(has(problems, "w.csv: no weight for cmg 0101 tier A"));
  EXPECT_FALSE(has(problems, "w.csv: no weight for cmg 0102 tier D"));

  EXPECT_EQ(weight_problems("cmg,tier,weight\n0101,A,1,\n"),
            std::vector<std::string>{"w.csv:1: the header is not \"cmg,tier,weight,average_los\""});
  EXPECT_EQ(weight_problems(""), std::vector<std::string>{"w.csv: empty: wants the header "
                                                          "\"cmg,tier,weight,average_los\""});
  EXPECT_TRUE(has(weight_problems(full + "\"0101,A,1,\n"),
                  "w.csv:" + std::to_string(std::count(full.begin(), full.end(), '\n') + 1) +
                      ": a quoted cell is never closed"));
  // What a spreadsheet adds is no fault: a byte order mark, CRLF line ends,
  // quoted cells, a blank line.
  std::string saved = "\xEF\xBB\xBF" + std::regex_replace(full, std::regex("\n"), "\r\n");
  saved = std::regex_replace(saved, std::regex("0101,A,"), "\"0101\",\"A\",") + "\r\n";
  std::vector<std::string> none;
  WeightTable table;
  EXPECT_TRUE(report::read_weights("w.csv", saved, all_tiers(), table, none)) << none.at(0);
}

TEST(ReportWeights, PairsNoRecordCanGetMayBeLeftOut) {
  ReachableTiers required = all_tiers();
  required[1][3] = false;  // no record of RIC 01 can get D
  const auto problems = weight_problems("cmg,tier,weight,average_los\n", required);
  EXPECT_FALSE(has(problems, "w.csv: no weight for cmg 0101 tier D"));
  EXPECT_TRUE(has(problems, "w.csv: no weight for cmg 0101 tier C"));
  EXPECT_TRUE(has(problems, "w.csv: no weight for cmg 0201 tier D"));

  // The pairs required follow the set: with every D row of a set excluding
  // RIC 01, D is not asked for in RIC 01 and still is in the others.
  EXPECT_EQ(report::required_tiers(*TierSet::compiled()), all_tiers());
  test::SetDir dir;
  dir.write_compiled();
  const std::regex single("^([^,]+),D,(\"[^\"]*\"|[^,]*)(,.*)?$");
  const std::regex pair("^([^,]+),([^,]+),D,(\"[^\"]*\"|[^,]*)$");
  for (const TierSetList list : kTierSetLists) {
    const std::string file = tier_set_file(list);
    std::string text;
    for (const std::string& l : dir.lines_of(file)) {
      text +=
          std::regex_replace(std::regex_replace(l, single, "$1,D,01$3"), pair, "$1,$2,D,01") + "\n";
    }
    dir.write(file, text);
  }
  std::vector<TierSetProblem> loadProblems;
  const auto set = dir.load(loadProblems, true);
  ASSERT_NE(set, nullptr) << test::problems_text(loadProblems);
  const ReachableTiers reachable = report::required_tiers(*set);
  EXPECT_FALSE(reachable[1][3]);
  EXPECT_TRUE(reachable[1][0] && reachable[1][1] && reachable[1][2]);
  EXPECT_TRUE(reachable[2][3]);
}

TEST(ReportWeights, DecimalsReadExactly) {
  std::int64_t v = 0;
  EXPECT_TRUE(report::parse_micros("1.234567", v));
  EXPECT_EQ(v, 1234567);
  EXPECT_TRUE(report::parse_micros(".5", v));
  EXPECT_EQ(v, 500000);
  EXPECT_TRUE(report::parse_micros("12", v));
  EXPECT_EQ(v, 12000000);
  for (const char* bad : {"", ".", "1.2.3", "1e3", "+1", " 1", "1234567", "0x1"}) {
    EXPECT_FALSE(report::parse_micros(bad, v)) << bad;
  }
}

// A grouped result of that CMG ("B0101", or "A" alone) and scores.
Result grouped(const char* cmg, const char* motor, int cognitive, int age) {
  Result r = kResetResult;
  r.status = 0;
  std::memset(r.cmg, ' ', 5);
  std::memcpy(r.cmg, cmg, std::strlen(cmg));
  std::strcpy(r.motorScore, motor);
  r.cognitiveScore = cognitive;
  r.age = age;
  std::strcpy(r.tableVersion, "2.90");
  return r;
}

TEST(ReportTally, RecordsWithoutAWeightAreNamedAndLeftOutOfTheIndex) {
  WeightTable weights;
  weights.set(101, 'A', 1000000, 12000000);  // 1.0, 12 days
  weights.set(101, 'B', 2000000, WeightTable::kNone);
  report::Tally t;
  const Edits none{};
  const std::string record(1251, ' ');
  t.add(record, grouped("A0101", "50.0", 20, 70), false, none, &weights);
  t.add(record, grouped("B0101", "4.9", 9, 9), true, none, &weights);
  t.add(record, grouped("C0101", "80.0", 35, 100), false, none, &weights);
  t.add(record, grouped("A", "20.0", 20, 70), false, none, &weights);
  Result notGrouped = kResetResult;
  notGrouped.status = 9;
  t.add(record, notGrouped, false, none, &weights);

  report::Tally merged;
  merged.add(t);
  report::Figures f;
  merged.fill(f, true);
  EXPECT_EQ(f.records, 5u);
  EXPECT_EQ(f.grouped, 4u);
  EXPECT_EQ(f.placeholderTiers, 1u);
  EXPECT_EQ(f.tierWithoutCmg, 1u);
  EXPECT_EQ((std::array<std::uint64_t, 5>{2, 1, 1, 0, 0}), f.tiers);
  // The index over the two weighted records; the C record and the letter
  // alone without a weight; the status 9 record in neither.
  EXPECT_EQ(f.weighted.weighted, 2u);
  EXPECT_EQ(f.weighted.unweighted, 2u);
  EXPECT_DOUBLE_EQ(f.weighted.case_mix_index().value(), 1.5);
  EXPECT_EQ(f.weighted.losRecords, 1u);
  EXPECT_DOUBLE_EQ(f.weighted.expected_days(), 12.0);
  ASSERT_EQ(f.rics.size(), 1u);
  EXPECT_EQ(f.rics[0].ric, "01");
  EXPECT_EQ(f.rics[0].weighted.unweighted, 1u);
  const auto missing = report::missing_pairs(merged, weights);
  ASSERT_EQ(missing.size(), 2u);
  EXPECT_EQ(missing[0].cmg, "");
  EXPECT_EQ(missing[1].cmg, "0101");
  EXPECT_EQ(missing[1].tier, 'C');
  EXPECT_EQ(missing[1].records, 1u);
  // The bins' edges: 4.9 and 9 fall below the first; 80.0, 35 and 100 in
  // the last, open-ended bin.
  EXPECT_EQ(f.histograms[0][0], 1u);
  EXPECT_EQ(f.histograms[0][report::kMotorBins.bins - 1], 1u);
  EXPECT_EQ(f.histograms[0][report::kMotorBins.bin(500)], 1u);
  EXPECT_EQ(f.histograms[1][report::kCognitiveBins.bins - 1], 1u);
  EXPECT_EQ(f.histograms[2][report::kAgeBins.bins - 1], 1u);
  EXPECT_EQ(report::kMotorBins.label(0), "<5");
  EXPECT_EQ(report::kMotorBins.label(1), "5\u20139.9");
  EXPECT_EQ(report::kMotorBins.label(16), "\u226580");
  EXPECT_EQ(report::kAgeBins.label(1), "10\u201319");
}

TEST(ReportTally, VersionDatesThatAreNotDates) {
  std::string record(1251, ' ');
  const FieldLayout& f = field_layout(FieldId::version_date);
  const auto with = [&](const char* date) {
    record.replace(static_cast<std::size_t>(f.start - 1), 8, date);
    return report::version_date(record);
  };
  EXPECT_EQ(with("20240131"), 20240131u);
  EXPECT_EQ(with("20241301"), 0u);
  EXPECT_EQ(with("20240100"), 0u);
  EXPECT_EQ(with("2024013 "), 0u);
  EXPECT_EQ(report::version_date(record.substr(0, 1000)), 0u);
}

// ---- the command ----

class ReportCli : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(tool("sample --count 500 -o records.txt").code, 0);
  }
  // No temporary file left beside the outputs.
  void expect_files(const std::vector<std::string>& names) const {
    EXPECT_EQ(files_in_dir(), names);
  }
};

TEST_F(ReportCli, RefusedWeightsLeaveNoOutput) {
  write("w.csv", "cmg,tier,weight,average_los\n0101,A,0,\n0101,A,1,\n");
  write("report.html", "earlier");
  const Outcome run = tool("report records.txt -o report.html --json r.json --weights w.csv");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cmg290: the weights in w.csv cannot be used:\n"), std::string::npos);
  EXPECT_NE(run.err.find("\nw.csv:2: weight \"0\" is not a positive number"), std::string::npos);
  EXPECT_NE(run.err.find("\nw.csv: no weight for cmg 0101 tier B\n"), std::string::npos);
  EXPECT_EQ(read("report.html"), "earlier");
  expect_files({"records.txt", "report.html", "w.csv"});

  EXPECT_EQ(tool("report records.txt -o report.html --weights missing.csv").code, 2);
  EXPECT_EQ(tool("report records.txt -o x.html --json x.html").code, 2);
  expect_files({"records.txt", "report.html", "w.csv"});
}

TEST_F(ReportCli, EmptyInputIsRefusedUnlessAllowed) {
  write("empty.txt", "\n\n");
  Outcome run = tool("report empty.txt -o report.html --json r.json");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("no records in the input"), std::string::npos);
  expect_files({"empty.txt", "records.txt"});

  run = tool("report --allow-empty empty.txt -o report.html --json r.json -q");
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto j = nlohmann::json::parse(read("r.json"));
  EXPECT_EQ(j["records"], 0);
  EXPECT_EQ(j["empty_lines"], 2);
  EXPECT_TRUE(j["case_mix_index"].is_null());
  EXPECT_NE(read("report.html").find("</html>"), std::string::npos);
}

TEST_F(ReportCli, AFailedReadLeavesTheEarlierReport) {
  // A gzip file damaged past its first records fails once grouping is under
  // way.
  ASSERT_EQ(sh("gzip -c records.txt > bad.gz && printf 'garbage' >> bad.gz").code, 0);
  write("report.html", "earlier");
  write("r.json", "earlier");
  Outcome run = tool("report records.txt bad.gz -o report.html --json r.json");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("bad.gz"), std::string::npos) << run.err;
  EXPECT_EQ(read("report.html"), "earlier");
  EXPECT_EQ(read("r.json"), "earlier");
  run = tool("report records.txt nothing.txt -o report.html");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("nothing.txt"), std::string::npos);
  EXPECT_EQ(read("report.html"), "earlier");
  // An output that cannot be written is found before the records are read.
  run = tool("report records.txt -o no/such/dir/report.html");
  EXPECT_EQ(run.code, 2);
  expect_files({"bad.gz", "r.json", "records.txt", "report.html"});
}

// The page and its JSON are both written, or neither: a page that cannot
// be written leaves no JSON behind, and the earlier JSON as it was.
TEST_F(ReportCli, ThePageAndItsJsonOrNeither) {
  write("r.json", "earlier");
  Outcome run = tool("report records.txt -o /dev/full --json r.json");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot write /dev/full"), std::string::npos) << run.err;
  EXPECT_EQ(read("r.json"), "earlier");
  run = tool("report records.txt -o report.html --json /dev/full");
  EXPECT_EQ(run.code, 2);
  expect_files({"r.json", "records.txt"});
  run = tool("report records.txt -o report.html --json r.json -q");
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(read("r.json"))["records"], 500);
  EXPECT_NE(read("report.html").find("</html>"), std::string::npos);
}

TEST_F(ReportCli, ThePageFetchesNothingAndEscapesWhatItShows) {
  // A file name is text on the page, never markup.
  ASSERT_EQ(sh("cp records.txt '<b onload=x>\"q'\\''.txt'").code, 0);
  const Outcome run = tool("report '<b onload=x>\"q'\\''.txt' -o - -q --json r.json");
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string& page = run.out;
  EXPECT_EQ(page.find("<b onload"), std::string::npos);
  EXPECT_NE(page.find("&lt;b onload=x&gt;&quot;q&#39;.txt"), std::string::npos);
  EXPECT_NE(page.find("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
                      "'none'; style-src 'unsafe-inline'; img-src data:\">"),
            std::string::npos);
  for (const char* never : {"<script", "http:", "https:", " src=", "<link", "<img", "url("}) {
    EXPECT_EQ(page.find(never), std::string::npos) << never;
  }
  EXPECT_NE(page.find("@page{size:auto;"), std::string::npos);
  EXPECT_NE(page.find("@media print"), std::string::npos);
  // Every chart has a title and a description, and a table beside it.
  std::size_t charts = 0;
  for (std::size_t at = page.find("<svg"); at != std::string::npos;
       at = page.find("<svg", at + 1)) {
    ++charts;
    const std::size_t end = page.find("</svg>", at);
    EXPECT_NE(page.substr(at, end - at).find("<title"), std::string::npos);
    EXPECT_NE(page.substr(at, end - at).find("<desc"), std::string::npos);
    EXPECT_NE(page.find("<table", end), std::string::npos);
  }
  EXPECT_GE(charts, 8u);
  const auto j = nlohmann::json::parse(read("r.json"));
  EXPECT_EQ(j["inputs"][0]["name"], "<b onload=x>\"q'.txt");
  EXPECT_TRUE(j["weights"].is_null());
}

TEST_F(ReportCli, FirstLinesCountedAcrossChunksAndRestartedPerFile) {
  // 5,000 records without an edit (more than one chunk of input), then one
  // cut short; the second file the same.
  const std::string valid = RecordBuilder::valid().str();
  std::string text;
  for (int i = 0; i < 5000; ++i) text += valid + "\n";
  text += valid.substr(0, 1000) + "\n";
  write("late.txt", text);
  write("late2.txt", text);
  const Outcome run = tool("report late.txt late2.txt -o r.html --json r.json -j 2 -q");
  ASSERT_EQ(run.code, 0) << run.err;
  const auto j = nlohmann::json::parse(read("r.json"));
  // Only the short lines raise edits: each code's first lines are those two.
  const auto both = nlohmann::json::parse(R"([{"file":"late.txt","line":5001},
                                              {"file":"late2.txt","line":5001}])");
  ASSERT_FALSE(j["edits"]["codes"].empty());
  for (const auto& e : j["edits"]["codes"]) EXPECT_EQ(e["first_lines"], both) << e["code"];
  EXPECT_EQ(j["edits"]["records_with_edits"], 2);
  EXPECT_NE(read("r.html").find("late.txt:5001, late2.txt:5001"), std::string::npos);
}

TEST_F(ReportCli, PlaceholderTiersAndTheSetAreStated) {
  // A record whose tier letter comes from a placeholder row of the
  // compiled-in 2.90 list that excludes no RIC.
  const auto set = TierSet::compiled();
  std::string code;
  for (int r = 1; r <= set->entries(TierSetList::Single290) && code.empty(); ++r) {
    if (set->is_placeholder(TierSetList::Single290, r) &&
        set->row(TierSetList::Single290, r).excludedRics == " ") {
      code = std::string(set->row(TierSetList::Single290, r).code);
    }
  }
  ASSERT_FALSE(code.empty());
  const std::string placeholder = RecordBuilder::valid().comorbid(2, code).str();
  write("in.txt", placeholder + "\n" + RecordBuilder::valid().str() + "\n" + placeholder + "\n");
  // As group counts them.
  EXPECT_EQ(
      summary_count(tool("group in.txt -o /dev/null").err, "tier letter from placeholder rows:"),
      2);
  Outcome run = tool("report in.txt -o r.html --json r.json -q");
  ASSERT_EQ(run.code, 0) << run.err;
  auto j = nlohmann::json::parse(read("r.json"));
  EXPECT_EQ(j["placeholder_tiers"], 2);
  EXPECT_EQ(j["tier_set"]["identity"], set->identity());
  EXPECT_EQ(j["tier_set"]["sha256"], set->digest());
  EXPECT_NE(read("r.html").find("<th scope=\"row\">Tier letters from placeholder rows</th><td "
                                "class=\"n\">2</td>"),
            std::string::npos);

  // A set of its own is named by its identity.
  ASSERT_EQ(tool("tables export --all myset").code, 0);
  write("myset/manifest.txt", "name = my set\n");
  run = tool("report in.txt -o r.html --json r.json -q --tier-tables myset");
  ASSERT_EQ(run.code, 0) << run.err;
  j = nlohmann::json::parse(read("r.json"));
  EXPECT_EQ(j["tier_set"]["name"], "my set");
  EXPECT_EQ(j["tier_set"]["identity"], "my set sha256:" + set->digest());
  EXPECT_NE(read("r.html").find("my set sha256:" + set->digest()), std::string::npos);
}

TEST_F(ReportCli, TheSameFiguresWhateverTheThreads) {
  ASSERT_EQ(tool("report records.txt -o a.html --json a.json -j 1 -q").code, 0);
  ASSERT_EQ(tool("report - -o b.html --json b.json -j 4 -q < records.txt").code, 0);
  const std::string a = read("a.json");
  const std::string b =
      std::regex_replace(read("b.json"), std::regex("standard input"), "records.txt");
  EXPECT_NE(read("b.json").find("\"standard input\""), std::string::npos);
  EXPECT_TRUE(a == b) << "the JSON differs between one thread and four";
}

}  // namespace
}  // namespace cmg290::cli_test
