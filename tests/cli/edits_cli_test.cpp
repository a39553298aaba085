// `cmg290 group --edits`: the edits column of CSV and member of JSON Lines
// are the library's for each record, the results beside them do not change,
// the summary counts records per edit code, and the edits are found with
// the tier-table set that grouped.
#include <map>
#include <regex>

#include "cli/cli_fixture.h"
#include "cmg290/edits.h"

namespace cmg290::cli_test {
namespace {

using nlohmann::json;

Edits edits_of(const std::string& record, const TierSet& set = *TierSet::compiled()) {
  Edits edits;
  find_edits(record, group(record, set), set, edits);
  return edits;
}

std::string codes_of(const Edits& edits) {
  std::string out(edit_codes_room(edits), '\0');
  out.resize(static_cast<std::size_t>(write_edit_codes(out.data(), edits) - out.data()));
  return out;
}

std::string json_of(const Edits& edits) {
  std::string out(edits_json_room(edits), '\0');
  out.resize(static_cast<std::size_t>(write_edits_json(out.data(), edits) - out.data()));
  return out;
}

// Records that raise known edits, one that raises none, and one that is not
// grouped by design (record kind 3).
std::vector<std::string> edit_records() {
  return {
      RecordBuilder::valid().motor(3, "88").comorbid(1, "J3801").str(),
      RecordBuilder::valid().str(),
      RecordBuilder::valid().comorbid(2, "I10.\x80").str(),
      RecordBuilder::valid().versionDate("20230230").comorbid(1, "I10.^^^^").str(),
      RecordBuilder::valid().kind("3").motor(3, "88").str(),
      RecordBuilder::valid().allMotor("-9").str(),
      RecordBuilder::valid().str().substr(0, 1200),
  };
}

std::string joined(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& r : records) text += r + "\n";
  return text;
}

// Rows of JSON Lines less their "edits" member, which comes just before
// "tier_set".
std::string without_edits_member(const std::string& rows) {
  std::string out;
  for (std::string row : lines_of(rows)) {
    const std::size_t set = row.rfind(",\"tier_set\":");
    const std::size_t at = row.rfind(",\"edits\":[", set);
    EXPECT_NE(at, std::string::npos) << row;
    if (at != std::string::npos) row.erase(at, set - at);
    out += row + "\n";
  }
  return out;
}

// CSV less its last column.
std::string without_last_column(const std::string& csv) {
  std::string out;
  for (const std::string& row : lines_of(csv)) out += row.substr(0, row.rfind(',')) + "\n";
  return out;
}

// The summary's per-code lines, "code count" in the order written.
std::vector<std::pair<std::string, long>> summary_edits(const std::string& err) {
  static const std::regex line("\n    ([a-z-]+) +([0-9,]+)  (error|warning)");
  std::vector<std::pair<std::string, long>> found;
  for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != std::sregex_iterator();
       ++it) {
    std::string digits = (*it)[2];
    digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
    found.emplace_back((*it)[1], std::stol(digits));
  }
  return found;
}

TEST_F(CliTest, EditsColumnAndMemberAreTheLibrarysForEachRecord) {
  const std::vector<std::string> records = edit_records();
  write("in.txt", joined(records));
  const Outcome csv = tool("group -q --edits in.txt");
  EXPECT_EQ(csv.code, 0) << csv.err;
  const auto rows = parse_csv(csv.out);
  ASSERT_EQ(rows.size(), records.size() + 1);
  EXPECT_EQ(rows[0].back(), "edits");
  EXPECT_EQ(rows[0].size(), 10u);
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_EQ(rows[i + 1].size(), 10u) << i;
    EXPECT_EQ(rows[i + 1].back(), codes_of(edits_of(records[i]))) << i;
  }
  EXPECT_EQ(rows[1].back(), "comorbid-code-form;item-value;no-cmg-row");
  EXPECT_EQ(rows[2].back(), "");
  EXPECT_EQ(rows[3].back(), "unreadable-byte");
  EXPECT_EQ(rows[4].back(), "date-invalid");
  EXPECT_EQ(rows[5].back(), "") << "record kind 3 is not grouped by design";
  // Each item "-9" raises its own edit; the codes are not merged.
  EXPECT_EQ(rows[6].back().rfind("item-value;item-value;", 0), 0u) << rows[6].back();
  EXPECT_NE(rows[6].back().find(";no-cmg-row"), std::string::npos) << rows[6].back();
  EXPECT_EQ(rows[7].back(), "short-record");

  const Outcome jsonl = tool("group -q --edits -f jsonl in.txt");
  EXPECT_EQ(jsonl.code, 0) << jsonl.err;
  const auto lines = lines_of(jsonl.out);
  ASSERT_EQ(lines.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    // Byte for byte the library's array, just before the set's member.
    const std::string tail =
        ",\"edits\":" + json_of(edits_of(records[i])) + kCompiledSetMember + "}";
    ASSERT_GE(lines[i].size(), tail.size());
    EXPECT_EQ(lines[i].substr(lines[i].size() - tail.size()), tail) << i;
    EXPECT_TRUE(json::accept(lines[i])) << lines[i];
  }
  const json first = json::parse(lines[0])["edits"];
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[1]["code"], "item-value");
  EXPECT_EQ(first[1]["severity"], "error");
  EXPECT_EQ(first[1]["field"], "motor_item_3");
  EXPECT_EQ(first[1]["value"], "88");
  EXPECT_EQ(json::parse(lines[1])["edits"], json::array());
  EXPECT_EQ(latin1_bytes(json::parse(lines[2])["edits"][0]["value"]), "I10.\x80");
  EXPECT_EQ(json::parse(lines[6])["edits"][0]["field"], nullptr);

  // --strict rejects the short line: not grouped, so no edits.
  const auto strict = parse_csv(tool("group -q --strict --edits in.txt").out);
  ASSERT_EQ(strict.size(), records.size() + 1);
  EXPECT_EQ(strict[7][1], "-1");
  EXPECT_EQ(strict[7].back(), "");
  EXPECT_EQ(strict[1].back(), "comorbid-code-form;item-value;no-cmg-row");
}

TEST_F(CliTest, EditsLeaveTheResultsAsTheyAreAndAreCounted) {
  ASSERT_EQ(tool("sample --count 20000 --seed 5 -o in.txt").code, 0);
  // The sample raises few edits but repeated codes; add records that raise
  // others, past the first chunk's noted lines.
  std::string extra;
  for (int i = 0; i < 3; ++i) extra += joined(edit_records());
  write("in.txt", read("in.txt") + extra);
  const std::vector<std::string> records = lines_of(read("in.txt"));

  std::map<std::string, long> expected;
  long withEdits = 0;
  for (const std::string& r : records) {
    const Edits e = edits_of(r);
    withEdits += !e.empty();
    std::set<std::string> codes;
    for (const Edit& edit : e) codes.emplace(edit.code());
    for (const std::string& c : codes) ++expected[c];
  }
  ASSERT_GT(expected.size(), 5u);

  for (const std::string threads : {"1", "3"}) {
    for (const std::string format : {"csv", "jsonl"}) {
      const std::string args = " -j " + threads + " -f " + format + " in.txt";
      const Outcome plain = tool("group -q" + args);
      const Outcome edits = tool("group --edits" + args);
      EXPECT_EQ(edits.code, 0) << edits.err;
      EXPECT_EQ(format == "csv" ? without_last_column(edits.out) : without_edits_member(edits.out),
                plain.out)
          << args;
      EXPECT_EQ(summary_count(edits.err, "edits:"), withEdits) << edits.err;
      // Per code, most records first; ties by code.
      const auto counted = summary_edits(edits.err);
      ASSERT_EQ(counted.size(), expected.size()) << edits.err;
      for (std::size_t i = 0; i < counted.size(); ++i) {
        EXPECT_EQ(counted[i].second, expected[counted[i].first]) << counted[i].first;
        if (i > 0) {
          EXPECT_TRUE(counted[i - 1].second > counted[i].second ||
                      (counted[i - 1].second == counted[i].second &&
                       counted[i - 1].first < counted[i].first))
              << edits.err;
        }
      }
    }
  }
  // Without --edits, the summary says nothing of them.
  EXPECT_EQ(tool("group in.txt -o out.csv").err.find("edits"), std::string::npos);
  EXPECT_NE(
      tool("group --edits -q in.txt")
          .out.rfind("line,status,description,cmg,motor_score,cognitive_score,age,table_version,"
                     "grouper_version,edits\n",
                     0),
      std::string::npos);
  write("clean.txt", RecordBuilder::valid().str() + "\n");
  EXPECT_NE(tool("group --edits clean.txt").err.find("\n  edits: no record has one\n"),
            std::string::npos);
}

// Edits are kept per chunk as the lines are grouped, up to a pool of two
// per line on average; records with a dozen edits each overflow it, and the
// rest are found again as their rows are written, alike.
TEST_F(CliTest, EditsOfManyPerRecordAreWrittenInFull) {
  const std::string many = RecordBuilder::valid().allMotor("-9").comorbid(1, "J3801").str();
  const std::string few = RecordBuilder::valid().motor(3, "88").str();
  std::string text;
  for (int i = 0; i < 1500; ++i) text += (i % 3 == 2 ? few : many) + "\n";
  write("in.txt", text);
  const Outcome run = tool("group -q --edits -j 2 in.txt");
  EXPECT_EQ(run.code, 0) << run.err;
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 1501u);
  const std::string manyCodes = codes_of(edits_of(many));
  const std::string fewCodes = codes_of(edits_of(few));
  EXPECT_GT(edits_of(many).count, 12);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].back(), (i - 1) % 3 == 2 ? fewCodes : manyCodes) << "line " << i;
  }
}

TEST_F(CliTest, EditsAreRefusedWithTheFixedWidthFormat) {
  write("in.txt", RecordBuilder::valid().str() + "\n");
  const Outcome fixed = tool("group --edits -f fixed -o out.txt in.txt");
  EXPECT_EQ(fixed.code, 2);
  EXPECT_EQ(fixed.err,
            "cmg290: --edits needs -f csv or -f jsonl: the fixed-width format has no column for "
            "edits\n");
  EXPECT_FALSE(fs::exists(path("out.txt")));
}

// With --tier-tables the codes are looked up in that set's lists: without
// J38.01 on its 2.90 list, "J3801" is no form fault.
TEST_F(CliTest, EditsAreFoundWithTheTierTableSetThatGrouped) {
  std::string error;
  ASSERT_TRUE(TierSet::compiled()->write(path("set").string(), error)) << error;
  std::string kept;
  for (const std::string& line : lines_of(read("set/single-2.90.csv"))) {
    if (line.find("J38.01") == std::string::npos) kept += line + "\n";
  }
  write("set/single-2.90.csv", kept);
  const std::string record = RecordBuilder::valid().comorbid(1, "J3801").str();
  write("in.txt", record + "\n");
  const auto compiled = parse_csv(tool("group -q --edits in.txt").out);
  const Outcome loaded = tool("group -q --edits --tier-tables set --allow-deviations in.txt");
  EXPECT_EQ(loaded.code, 0) << loaded.err;
  const auto rows = parse_csv(loaded.out);
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(compiled.size(), 2u);
  EXPECT_EQ(compiled[1].back(), "comorbid-code-form");
  EXPECT_EQ(rows[1].back(), "");
}

}  // namespace
}  // namespace cmg290::cli_test
