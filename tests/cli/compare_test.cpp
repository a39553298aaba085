// cmg290 compare, run end to end: its counts, transitions and changed
// records against the library's results with both sets.
#include <array>
#include <map>

#include "cli/cli_fixture.h"
#include "cmg290/tier_set.h"
#include "record_builder.h"

namespace cmg290::cli_test {
namespace {

std::string cmg_of(const cmg290::Result& r) {
  return trim(std::string(r.cmg, 5));
}

std::string with_commas(long n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

using CompareCommand = CliTest;

TEST_F(CompareCommand, TheCompiledInSetAgainstItselfChangesNothing) {
  ASSERT_EQ(tool("sample --count 3000 -o records.txt").code, 0);
  ASSERT_EQ(tool("tables export --all set").code, 0);
  const Outcome run = tool("compare --tier-tables set --fail-on-change records.txt");
  EXPECT_EQ(run.code, 0) << run.err;
  // With one set given, the compiled-in set is the old one.
  EXPECT_TRUE(run.out.starts_with(
      "old: " + TierSet::compiled()->identity() +
      " (holds placeholders)\nnew: set sha256:" + TierSet::compiled()->digest()))
      << run.out;
  EXPECT_NE(run.out.find("records:     3,000 ("), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CMG changed: 0\n"), std::string::npos);
  EXPECT_EQ(run.out.find("tier letter changed"), std::string::npos) << "the same count as CMG's";
  EXPECT_EQ(run.out.find("transitions"), std::string::npos);
}

// Two sets that differ in several tiers: the counts, every transition and
// every changed line are those the library gives with each set.
TEST_F(CompareCommand, ReportsExactlyTheLibrarysDifferences) {
  ASSERT_EQ(tool("sample --count 20000 --seed 7 -o records.txt").code, 0);
  ASSERT_EQ(tool("tables export --all a").code, 0);
  ASSERT_EQ(tool("tables export --version 2.90 --list single -o l.csv").code, 0);
  std::string csv = read("l.csv");
  // Besides, a placeholder row of 2.90 that excludes no RIC, and records
  // that hold its code.
  const auto a = TierSet::compiled();
  std::string placeholder;
  for (int r = 1; placeholder.empty(); ++r) {
    const TierSetRow row = a->row(TierSetList::Single290, r);
    if (a->is_placeholder(TierSetList::Single290, r) && row.excludedRics == " ") {
      placeholder = row.code;
    }
  }
  std::ofstream(path("records.txt"), std::ios::app)
      << cmg290::test::RecordBuilder::valid().comorbid(3, placeholder).str() << "\n"
      << cmg290::test::RecordBuilder::valid().comorbid(9, placeholder).str() << "\n";
  for (const std::string& code : std::vector<std::string>{"J38.01^^,B,", "Z99.2^^^,", "A04.7^^^,",
                                                          "R13.12^^,", placeholder + ",D,"}) {
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
  // Read from old to new: the compiled-in set, then the edited one.
  const auto b =
      TierSet::load(path("a").string(), problems, {.allowDeviations = true, .expectedSha256 = {}});
  ASSERT_NE(b, nullptr);
  std::map<std::string, long> transitions;
  std::map<std::string, std::array<long, 2>> tiers, cmgs;
  std::map<std::string, std::array<long, 2>> rics;  // records, changed
  std::string changedCsv =
      "file,line,table_version,cmg_old,cmg_new,entry_old,tier_old,entry_new,tier_new,"
      "placeholder_old,placeholder_new\n";
  long records = 0, changed = 0, grouped = 0;
  const std::vector<std::string> lines = lines_of(read("records.txt"));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    ++records;
    TierSource sa, sb;
    const std::string ca = cmg_of(cmg290::group(lines[i], *a, sa));
    const cmg290::Result rb = cmg290::group(lines[i], *b, sb);
    const std::string cb = cmg_of(rb);
    grouped += rb.status == 0;
    ++tiers[ca.empty() ? "none" : ca.substr(0, 1)][0];
    ++tiers[cb.empty() ? "none" : cb.substr(0, 1)][1];
    if (!ca.empty()) {
      ++cmgs[ca][0];
      ++cmgs[cb][1];
      ++rics[ca.substr(1, 2)][0];
      rics[ca.substr(1, 2)][1] += ca != cb;
    }
    if (ca == cb) continue;
    ++changed;
    ++transitions[ca + " -> " + cb];
    // The deciding entries by the lines of their files.
    auto entry = [](const TierSource& s, const TierSet& set) {
      return s.row == 0 ? std::string()
                        : tier_set_file(s.list) + (":" + std::to_string(set.line(s.list, s.row)));
    };
    changedCsv += "records.txt," + std::to_string(i + 1) + "," + trim(rb.tableVersion) + "," + ca +
                  "," + cb + "," + entry(sa, *a) + "," + ca.substr(0, 1) + "," + entry(sb, *b) +
                  "," + cb.substr(0, 1) + "," + (sa.placeholder ? "true" : "false") + "," +
                  (sb.placeholder ? "true" : "false") + "\n";
  }
  ASSERT_GT(changed, 100);
  // The placeholder row moved to another tier is still one: its code is.
  ASSERT_NE(changedCsv.find(",true,true\n"), std::string::npos) << "a placeholder row changed";
  ASSERT_GT(transitions.size(), 3u);

  const Outcome run = tool(
      "compare --tier-tables a --allow-deviations --changed changed.csv "
      "--top 1000 -j 3 records.txt");
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(read("changed.csv"), changedCsv);
  EXPECT_NE(run.out.find("records:     20,002 (" + with_commas(grouped) + " grouped)\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(records, 20002);
  EXPECT_NE(run.out.find("CMG changed: " + std::to_string(changed) + "\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("new: a sha256:" + b->digest() + ", deviating in "), std::string::npos)
      << run.out;
  std::map<std::string, long> reported;
  long last = -1;
  const std::string listed = run.out.substr(run.out.find("\ntransitions ("));
  for (const std::string& l : lines_of(listed)) {
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

  // The text's tier totals, and the CMGs whose counts differ (only those).
  auto from_to = [](std::string what, std::size_t width, const std::array<long, 2>& n) {
    auto commas = with_commas;
    what.resize(std::max(what.size(), width), ' ');
    std::string old = commas(n[0]);
    old.resize(std::max<std::size_t>(old.size(), 9), ' ');
    return "\n  " + what + old + " -> " + commas(n[1]) + "\n";
  };
  for (const auto& [tier, n] : tiers) {
    EXPECT_NE(run.out.find(from_to(tier, 5, n)), std::string::npos) << tier << run.out;
  }
  int differing = 0;
  for (const auto& [cmg, n] : cmgs) {
    EXPECT_EQ(run.out.find(from_to(cmg, 6, n)) != std::string::npos, n[0] != n[1]) << cmg;
    differing += n[0] != n[1];
  }
  EXPECT_GT(differing, 3);

  // The whole report as JSON: tiers, RICs and CMGs counted on both sides.
  const Outcome json = tool("compare --tier-tables a --allow-deviations --json -q records.txt");
  ASSERT_EQ(json.code, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["old"]["compiled_in"], true);
  EXPECT_EQ(doc["new"]["sha256"], b->digest());
  EXPECT_EQ(doc["records"], records);
  EXPECT_EQ(doc["cmg_changed"], changed);
  for (const auto& [tier, n] : tiers) {
    EXPECT_EQ(doc["tiers"][tier]["old"], n[0]) << tier;
    EXPECT_EQ(doc["tiers"][tier]["new"], n[1]) << tier;
  }
  std::map<std::string, std::array<long, 2>> jsonCmgs, jsonRics;
  for (const auto& c : doc["cmgs"]) jsonCmgs[c["cmg"]] = {c["old"], c["new"]};
  for (const auto& r : doc["rics"]) jsonRics[r["ric"]] = {r["records"], r["cmg_changed"]};
  EXPECT_EQ(jsonCmgs, cmgs);
  EXPECT_EQ(jsonRics, rics);
  std::map<std::string, long> jsonTransitions;
  for (const auto& t : doc["transitions"]) {
    jsonTransitions[t["old"].get<std::string>() + " -> " + t["new"].get<std::string>()] =
        t["records"];
  }
  EXPECT_EQ(jsonTransitions, transitions);

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

  // The same with the old set named (a copy of the compiled-in one): the
  // same rows, the changes on standard output, the report on standard
  // error, and one transition listed.
  const Outcome swapped = tool(
      "compare --tier-tables set-b --tier-tables a --allow-deviations "
      "--changed - --top 1 --fail-on-change records.txt");
  EXPECT_EQ(swapped.code, 2) << "no set-b yet";
  ASSERT_EQ(tool("tables export --all set-b").code, 0);
  const Outcome other = tool(
      "compare --tier-tables set-b --tier-tables a --allow-deviations "
      "--changed - --top 1 --fail-on-change records.txt");
  EXPECT_EQ(other.code, 1) << other.err;
  EXPECT_EQ(other.out, changedCsv);
  long top = 0, shown = 0;
  for (const auto& [t, n] : transitions) top = std::max(top, n);
  for (const std::string& l : lines_of(other.err.substr(other.err.find("\ntransitions ("))))
    shown += l.starts_with("  ") && l.find(" -> ") != std::string::npos;
  EXPECT_EQ(shown, 1) << other.err;
  EXPECT_NE(other.err.find("  and " + std::to_string(transitions.size() - 1) +
                           " more transitions (" + with_commas(changed - top) + " records)\n"),
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
