// cmg290 tables diff, run end to end: every kind of change of an edited set
// against the compiled-in one, in the three forms, and the refusals.
#include <map>

#include "cli/cli_fixture.h"
#include "cmg290/tier_set.h"

namespace cmg290::cli_test {
namespace {

using TablesDiff = CliTest;

// The line (from 1) of `text` that starts with `start`; 0 when none does.
int line_starting(const std::string& text, const std::string& start) {
  const std::vector<std::string> lines = lines_of(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with(start)) return static_cast<int>(i + 1);
  }
  return 0;
}

TEST_F(TablesDiff, TheCompiledInSetAndItsExportHoldTheSameEntries) {
  ASSERT_EQ(tool("tables export --all set").code, 0);
  const Outcome run = tool("tables diff compiled-in set");
  EXPECT_EQ(run.code, 0) << run.err;
  const std::vector<std::string> lines = lines_of(run.out);
  ASSERT_EQ(lines.size(), 10u) << run.out;
  EXPECT_EQ(lines[0], "old: " + TierSet::compiled()->identity() + " (holds placeholders)");
  EXPECT_EQ(lines[1], "new: set sha256:" + TierSet::compiled()->digest() + " (holds placeholders)");
  EXPECT_EQ(lines[2], "single-2.40.csv (2.40): no change");
  EXPECT_EQ(lines[4], "single-2.60.csv (2.60 and 2.70): no change");
  EXPECT_EQ(lines[9], "the sets hold the same entries");
  EXPECT_EQ(tool("tables diff set compiled-in --csv").out,
            "list,versions,change,code,code_2,old_line,old_tier,old_excluded_rics,"
            "old_placeholder,new_line,new_tier,new_excluded_rics,new_placeholder\n");
}

// An edited 2.90 list and pair list: each change once, keyed by its code
// (pair.csv: its two codes), with its lines in both sets' files.
TEST_F(TablesDiff, NamesEveryChangeWithItsLinesOnBothSides) {
  ASSERT_EQ(tool("tables export --all new").code, 0);
  const std::string old = read("new/single-2.90.csv");
  std::vector<std::string> rows = lines_of(old);
  const int tierLine = line_starting(old, "J38.01^^,B,");
  ASSERT_GT(tierLine, 0);
  rows[tierLine - 1][9] = 'D';
  // The first B row after J38.01 that excludes no RIC now excludes 01.
  int ricsLine = tierLine + 1;
  // (Rows end in the placeholder column, empty on a B row.)
  while (ricsLine < static_cast<int>(rows.size()) && !rows[ricsLine - 1].ends_with(",B,,")) {
    ++ricsLine;
  }
  ASSERT_TRUE(rows[ricsLine - 1].ends_with(",B,,"));
  const std::string ricsCode = rows[ricsLine - 1].substr(0, rows[ricsLine - 1].find(','));
  rows[ricsLine - 1].insert(rows[ricsLine - 1].size() - 1, "01");
  const std::string removed = rows.back().substr(0, rows.back().find(','));
  const int removedLine = static_cast<int>(rows.size());
  rows.pop_back();
  rows.push_back("U07.1^^^,C,");
  std::string edited;
  for (const std::string& r : rows) edited += r + "\n";
  write("l.csv", edited);
  ASSERT_EQ(
      tool("tables import l.csv --version 2.90 --list single --into new --allow-deviations").code,
      0);
  std::vector<std::string> pairs = lines_of(read("new/pair.csv"));
  const std::string pairRow = pairs[1];  // the first pair, now of another tier
  const std::size_t comma = pairRow.find(','), tierAt = pairRow.find(',', comma + 1) + 1;
  pairs[1][tierAt] = pairRow[tierAt] == 'C' ? 'D' : 'C';
  edited.clear();
  for (const std::string& r : pairs) edited += r + "\n";
  write("p.csv", edited);
  ASSERT_EQ(
      tool("tables import p.csv --version 2.90 --list pair --into new --allow-deviations").code, 0);
  const std::string now = read("new/single-2.90.csv");

  const Outcome csv = tool("tables diff compiled-in new --allow-deviations -f csv");
  ASSERT_EQ(csv.code, 0) << csv.err;
  const std::vector<std::vector<std::string>> cells = parse_csv(csv.out);
  std::map<std::string, std::vector<std::string>> byChange;  // "kind code" -> cells
  for (std::size_t i = 1; i < cells.size(); ++i) {
    ASSERT_EQ(cells[i].size(), 13u) << i;
    byChange[cells[i][2] + " " + cells[i][3]] = cells[i];
  }
  EXPECT_EQ(byChange.size(), cells.size() - 1) << "one row per change" << csv.out;
  EXPECT_EQ(byChange.size(), 5u) << csv.out;
  for (const std::string& key :
       std::vector<std::string>{"tier J38.01^^", "excluded_rics " + ricsCode, "removed " + removed,
                                "added U07.1^^^", "tier " + pairRow.substr(0, comma)}) {
    ASSERT_TRUE(byChange.contains(key)) << key << " in\n" << csv.out;
  }
  const std::string newTier = std::to_string(line_starting(now, "J38.01^^,D,15"));
  EXPECT_EQ(byChange["tier J38.01^^"],
            (std::vector<std::string>{"single-2.90.csv", "2.90", "tier", "J38.01^^", "",
                                      std::to_string(tierLine), "B", "15", "false", newTier, "D",
                                      "15", "false"}));
  EXPECT_EQ(byChange["excluded_rics " + ricsCode][7], "");
  EXPECT_EQ(byChange["excluded_rics " + ricsCode][11], "01");
  EXPECT_EQ(byChange["excluded_rics " + ricsCode][5], std::to_string(ricsLine));
  EXPECT_EQ(byChange["removed " + removed][5], std::to_string(removedLine));
  EXPECT_EQ(byChange["removed " + removed][9], "") << "no new side";
  EXPECT_EQ(byChange["added U07.1^^^"][9], std::to_string(line_starting(now, "U07.1^^^,C,")));
  EXPECT_EQ(byChange["added U07.1^^^"][5], "") << "no old side";
  const std::vector<std::string> pairChange = byChange["tier " + pairRow.substr(0, comma)];
  ASSERT_EQ(pairChange.size(), 13u) << csv.out;
  EXPECT_EQ(pairChange[0], "pair.csv");
  EXPECT_EQ(pairChange[4], pairRow.substr(comma + 1, tierAt - comma - 2)) << "keyed by both codes";
  EXPECT_NE(csv.err.find("cmg290: new: new sha256:"), std::string::npos) << csv.err;

  // The same changes as text, counted list by list, and as one JSON document.
  const Outcome text = tool("tables diff compiled-in new --allow-deviations");
  EXPECT_NE(text.out.find("single-2.90.csv (2.90): 1 added, 1 removed, 1 tier change, 1 "
                          "excluded-RIC change"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("  tier                J38.01^^               B -> D"),
            std::string::npos);
  EXPECT_NE(text.out.find("  deviation: "), std::string::npos) << "the new set's deviations";
  EXPECT_GT(line_starting(text.out, "single-2.82.csv (2.82): no change"), 2) << text.out;
  const auto json = nlohmann::json::parse(tool("tables diff compiled-in new --allow-deviations "
                                               "--json")
                                              .out);
  EXPECT_EQ(json["old"]["sha256"], TierSet::compiled()->digest());
  EXPECT_FALSE(json["new"]["deviations"].empty());
  EXPECT_EQ(json["changes"].size(), cells.size() - 1);
  EXPECT_EQ(json["lists"][4]["list"], "single-2.90.csv");
  EXPECT_EQ(json["lists"][4]["tier"], 1);
  EXPECT_EQ(json["lists"][5]["tier"], 1);
  for (const auto& c : json["changes"]) {
    if (c["change"] == "added") {
      EXPECT_TRUE(c["old"].is_null());
    }
    if (c["change"] == "tier" && c["code"] == "J38.01^^") {
      EXPECT_EQ(c["old"]["line"], tierLine);
      EXPECT_EQ(c["new"]["tier"], "D");
    }
  }
  // Read the other way, an addition is a removal.
  const Outcome back = tool("tables diff new compiled-in --allow-deviations --csv");
  EXPECT_NE(back.out.find(",removed,U07.1^^^,"), std::string::npos) << back.out;
}

// A placeholder row whose disclosure the new set clears is named so: the
// placeholder rows of 2.90 marked official in their file. The manifest's
// old key clears nothing.
TEST_F(TablesDiff, ReportsAClearedPlaceholderDisclosure) {
  ASSERT_EQ(tool("tables export --all new").code, 0);
  write("new/manifest.txt", "name = cleared\nplaceholders = none\n");
  EXPECT_EQ(tool("tables diff compiled-in new -f csv").out.find("disclosure_cleared"),
            std::string::npos);
  std::string marked;
  for (std::string l : lines_of(read("new/single-2.90.csv"))) {
    if (!marked.empty() && l.ends_with(",placeholder")) l.replace(l.size() - 11, 11, "official");
    marked += l + "\n";
  }
  write("new/single-2.90.csv", marked);
  const auto compiled = TierSet::compiled();
  int placeholders = 0;
  for (int row = 1; row <= compiled->entries(TierSetList::Single290); ++row) {
    placeholders += compiled->is_placeholder(TierSetList::Single290, row);
  }
  ASSERT_GT(placeholders, 0);
  const Outcome run = tool("tables diff compiled-in new -f csv");
  EXPECT_EQ(run.code, 0) << run.err;
  int cleared = 0;
  for (const std::string& l : lines_of(run.out)) {
    if (l.starts_with("single-2.90.csv,2.90,disclosure_cleared,")) {
      ++cleared;
      EXPECT_NE(l.find(",true,"), std::string::npos) << l;
      EXPECT_TRUE(l.ends_with(",false")) << l;
    }
  }
  EXPECT_EQ(cleared, placeholders);
  EXPECT_NE(tool("tables diff new compiled-in").out.find("disclosure added"), std::string::npos);
}

// Two pairs of one tier swapped: no entry changed, but the pair list's last
// matching row counts, so the order is reported.
TEST_F(TablesDiff, ReportsEntriesInAnotherOrder) {
  ASSERT_EQ(tool("tables export --all new").code, 0);
  std::vector<std::string> pairs = lines_of(read("new/pair.csv"));
  auto tier = [](const std::string& row) {
    const std::size_t comma = row.find(',');
    return row[row.find(',', comma + 1) + 1];
  };
  ASSERT_EQ(tier(pairs[1]), tier(pairs[2]));
  std::swap(pairs[1], pairs[2]);
  std::string text;
  for (const std::string& r : pairs) text += r + "\n";
  write("new/pair.csv", text);
  const Outcome run = tool("tables diff compiled-in new --allow-deviations");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\npair.csv (2.82 and 2.90): entries in another order\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\nsingle-2.90.csv (2.90): no change\n"), std::string::npos);
  EXPECT_TRUE(run.out.ends_with("the sets differ in the order of their entries only\n"));
  const auto json =
      nlohmann::json::parse(tool("tables diff compiled-in new --allow-deviations --json").out);
  EXPECT_EQ(json["lists"][5]["reordered"], true);
  EXPECT_EQ(json["lists"][4]["reordered"], false);
  EXPECT_NE(tool("tables diff compiled-in new --allow-deviations --csv")
                .err.find("cmg290: pair.csv: the entries both sets hold come in another order"),
            std::string::npos);
}

TEST_F(TablesDiff, RefusesASetThatDoesNotLoad) {
  ASSERT_EQ(tool("tables export --all a").code, 0);
  write("a/single-2.50.csv", "code,tier,excluded_rics\n478.31,X,\n");
  const Outcome run = tool("tables diff compiled-in a");
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("cmg290: the new tier-table set in a cannot be used:\n", 0), 0u)
      << run.err;
  EXPECT_NE(run.err.find("a/single-2.50.csv:2: "), std::string::npos) << run.err;
  EXPECT_EQ(tool("tables diff missing compiled-in").code, 2);
  EXPECT_EQ(tool("tables diff compiled-in").code, 2);
  EXPECT_EQ(tool("tables diff compiled-in compiled-in --csv --json").code, 2);
}

}  // namespace
}  // namespace cmg290::cli_test
