// cmg290 compare, run end to end: its counts, transitions and changed
// records against the library's results with both sets.
#include <map>

#include "cli/cli_fixture.h"
#include "cmg290/tier_set.h"

namespace cmg290::cli_test {
namespace {

std::string cmg_of(const cmg290::Result& r) {
  return trim(std::string(r.cmg, 5));
}

using CompareCommand = CliTest;

TEST_F(CompareCommand, TheCompiledInSetAgainstItselfChangesNothing) {
  ASSERT_EQ(tool("sample --count 3000 -o records.txt").code, 0);
  ASSERT_EQ(tool("tables export --all set").code, 0);
  const Outcome run = tool("compare --tier-tables set --fail-on-change records.txt");
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("set A: set sha256:" + TierSet::compiled()->digest()), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("set B: " + TierSet::compiled()->identity() + " (holds placeholders)"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("records:             3,000 ("), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("tier letter changed: 0\n"), std::string::npos);
  EXPECT_NE(run.out.find("CMG changed:         0\n"), std::string::npos);
  EXPECT_EQ(run.out.find("transitions"), std::string::npos);
}

// Two sets that differ in several tiers: the counts, every transition and
// every changed line are those the library gives with each set.
TEST_F(CompareCommand, ReportsExactlyTheLibrarysDifferences) {
  ASSERT_EQ(tool("sample --count 20000 --seed 7 -o records.txt").code, 0);
  ASSERT_EQ(tool("tables export --all a").code, 0);
  ASSERT_EQ(tool("tables export --version 2.90 --list single -o l.csv").code, 0);
  std::string csv = read("l.csv");
  for (const std::string code : {"J38.01^^,B,", "Z99.2^^^,", "A04.7^^^,", "R13.12^^,"}) {
    const std::size_t at = csv.find("\n" + code);
    ASSERT_NE(at, std::string::npos) << code;
    const std::size_t tier = csv.find(',', at) + 1;
    csv[tier] = csv[tier] == 'B' ? 'D' : 'B';
  }
  write("l.csv", csv);
  const Outcome imported =
      tool("tables import l.csv --version 2.90 --list single --into a --allow-deviations");
  ASSERT_EQ(imported.code, 0) << imported.err;

  std::vector<TierSetProblem> problems;
  const auto a = TierSet::load(path("a").string(), problems, {true});
  ASSERT_NE(a, nullptr);
  const auto b = TierSet::compiled();
  std::map<std::string, long> transitions;
  std::string changedCsv =
      "file,line,cmg_a,cmg_b,tier_row_a,tier_row_b,placeholder_a,placeholder_b\n";
  long records = 0, changed = 0;
  const std::vector<std::string> lines = lines_of(read("records.txt"));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    ++records;
    TierSource sa, sb;
    const std::string ca = cmg_of(cmg290::group(lines[i], *a, sa));
    const std::string cb = cmg_of(cmg290::group(lines[i], *b, sb));
    if (ca == cb) continue;
    ++changed;
    ++transitions[ca + " -> " + cb];
    // The deciding entries by the lines of their files.
    auto row = [](const TierSource& s, const TierSet& set) {
      return s.row == 0 ? std::string()
                        : tier_set_file(s.list) + (":" + std::to_string(set.line(s.list, s.row)));
    };
    changedCsv += "records.txt," + std::to_string(i + 1) + "," + ca + "," + cb + "," +
                  row(sa, *a) + "," + row(sb, *b) + "," + (sa.placeholder ? "true" : "false") + "," +
                  (sb.placeholder ? "true" : "false") + "\n";
  }
  ASSERT_GT(changed, 100);
  ASSERT_GT(transitions.size(), 3u);

  const Outcome run = tool(
      "compare --tier-tables a --allow-deviations --changed changed.csv "
      "--top 1000 -j 3 records.txt");
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(read("changed.csv"), changedCsv);
  EXPECT_NE(run.out.find("records:             20,000 ("), std::string::npos) << run.out;
  EXPECT_EQ(records, 20000);
  EXPECT_NE(run.out.find("CMG changed:         " + std::to_string(changed) + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("set A: a sha256:" + a->digest() + ", deviating in "), std::string::npos)
      << run.out;
  std::map<std::string, long> reported;
  long last = -1;
  for (const std::string& l : lines_of(run.out)) {
    const std::size_t arrow = l.find(" -> ");
    if (!l.starts_with("  ") || arrow == std::string::npos) continue;
    std::istringstream fields(l);
    std::string from, to, sep, count;
    fields >> from >> sep >> to >> count;
    count.erase(std::remove(count.begin(), count.end(), ','), count.end());
    const long n = std::stol(count);
    if (last >= 0) {
      EXPECT_LE(n, last) << "most records first";
    }
    last = n;
    reported[from + " -> " + to] = n;
  }
  EXPECT_EQ(reported, transitions);

  // A pipe and a file in one run: each file's lines are numbered from 1.
  const Outcome two =
      sh("cat records.txt | \"$T\" compare --tier-tables a --allow-deviations "
         "--changed two.csv -q -j 2 - records.txt");
  EXPECT_EQ(two.code, 0) << two.err;
  std::string fromPipe;
  for (const std::string& l : lines_of(changedCsv)) {
    if (l.starts_with("records.txt,")) fromPipe += "standard input," + l.substr(12) + "\n";
  }
  EXPECT_EQ(read("two.csv"), changedCsv.substr(0, changedCsv.find('\n') + 1) + fromPipe +
                                 changedCsv.substr(changedCsv.find('\n') + 1));

  // The same with the sets swapped, the changes on standard output, the
  // report on standard error, and one transition listed.
  const Outcome swapped = tool(
      "compare --tier-tables set-b --tier-tables a --allow-deviations "
      "--changed - --top 1 --fail-on-change records.txt");
  EXPECT_EQ(swapped.code, 2) << "no set-b yet";
  ASSERT_EQ(tool("tables export --all set-b").code, 0);
  const Outcome other = tool(
      "compare --tier-tables set-b --tier-tables a --allow-deviations "
      "--changed - --top 1 --fail-on-change records.txt");
  EXPECT_EQ(other.code, 1) << other.err;
  EXPECT_EQ(lines_of(other.out).size(), static_cast<std::size_t>(changed + 1));
  EXPECT_NE(
      other.err.find("  and " + std::to_string(transitions.size() - 1) + " more transitions ("),
      std::string::npos)
      << other.err;
}

TEST_F(CompareCommand, ASetThatDoesNotLoadStopsTheRunBeforeAnyInput) {
  ASSERT_EQ(tool("tables export --all a").code, 0);
  fs::remove(path("a/pair.csv"));
  write("a/single-2.50.csv", "code,tier,excluded_rics\n478.31,X,\n");
  const Outcome run = tool("compare --tier-tables a --changed out.csv missing.txt");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("a/pair.csv: missing"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("a/single-2.50.csv:2: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("missing.txt"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(path("out.csv")));
  EXPECT_EQ(tool("compare records.txt").code, 2);
  ASSERT_EQ(tool("tables export --all b").code, 0);
  EXPECT_EQ(tool("compare --tier-tables b --tier-tables b --tier-tables b").code, 2);
}

}  // namespace
}  // namespace cmg290::cli_test
