// End-to-end tests of `cmg290 explain` and `cmg290 build`: the built tool
// run in a scratch folder.
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "cmg290/record_layout.h"
#include "cmg290/tier_set.h"
#include "record_builder.h"

namespace cmg290::cli_test {
namespace {

using ExplainCli = CliTest;

// The explanation as the golden files hold it: without the line and the
// members that name the tier-table set and mark a placeholder row, and
// without the edits (the text's list, the member before "tier_set"), which
// are newer than those files.
std::string without_set_disclosure(const std::string& out, bool json) {
  if (!json) {
    static const std::regex setLine("\n    tier-table set [^\n]*");
    static const std::regex mark("; a placeholder row, not from an official list");
    static const std::regex edits("\n  edits:( none|(\n    [^\n]*)+)");
    return std::regex_replace(std::regex_replace(std::regex_replace(out, setLine, ""), mark, ""),
                              edits, "");
  }
  static const std::regex placeholder(",\"placeholder\":(true|false)");
  std::string stripped;
  for (std::string line : lines_of(out)) {
    const std::size_t set = line.rfind(",\"tier_set\":{");
    const std::size_t edits = line.rfind(",\"edits\":[", set);
    EXPECT_NE(set, std::string::npos) << line;
    EXPECT_NE(edits, std::string::npos) << line;
    if (set != std::string::npos && edits != std::string::npos) {
      line.replace(edits, std::string::npos, "}");
    }
    stripped += std::regex_replace(line, placeholder, "") + "\n";
  }
  return stripped;
}

TEST_F(ExplainCli, GoldenTextAndJsonOfTheSampleRecords) {
  const std::string hint = " differs; if the change is intended, run tests/cli/update_golden.sh";
  for (const auto& [args, file] : std::vector<std::pair<std::string, std::string>>{
           {"", "explain.txt"}, {"-f json", "explain.jsonl"}}) {
    const Outcome run = sh("\"$T\" explain " + args + " '" + kSamples + "'");
    EXPECT_EQ(run.code, 0) << "ungrouped records are results, not failures\n" << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(without_set_disclosure(run.out, !args.empty()),
              slurp(kSourceDir + "/tests/cli/golden/" + file))
        << file << hint;
  }
  EXPECT_EQ(sh("\"$T\" explain --fail-on-ungrouped -o out.txt '" + kSamples + "'").code, 1);
  EXPECT_TRUE(exists("out.txt"));
  EXPECT_EQ(sh("head -21 '" + kSamples + "' | \"$T\" explain --fail-on-ungrouped").code, 0);
}

// The "result" member is, byte for byte, what `group -f jsonl` writes.
TEST_F(ExplainCli, ResultMemberIsTheGroupJsonLinesResult) {
  write("in.txt", slurp(kSamples) + slurp(kSamples));
  const auto explained = lines_of(sh("\"$T\" explain -f json in.txt").out);
  // Less the member of group's rows that names the set, which explain has
  // at the top level: the same object.
  std::vector<std::string> grouped = lines_of(sh("\"$T\" group -q -f jsonl in.txt").out);
  const std::string identity = cmg290::tier_set_json(*cmg290::TierSet::compiled());
  const std::string member = ",\"tier_set\":" + identity + "}";
  for (const std::string& line : explained) {
    EXPECT_NE(line.find(",\"tier_set\":" + identity), std::string::npos);
  }
  for (std::string& row : grouped) {
    ASSERT_GE(row.size(), member.size());
    ASSERT_EQ(row.substr(row.size() - member.size()), member) << row;
    row.replace(row.size() - member.size(), std::string::npos, "}");
  }
  ASSERT_EQ(explained.size(), 60u);
  ASSERT_EQ(grouped.size(), 60u);
  for (std::size_t i = 0; i < grouped.size(); ++i) {
    EXPECT_EQ(explained[i].rfind("{\"result\":" + grouped[i] + ",\"fields\":", 0), 0u)
        << explained[i].substr(0, 300) << "\n"
        << grouped[i];
  }
}

TEST_F(ExplainCli, LinesAsGroupReadsThem) {
  const std::string record = RecordBuilder::valid().comorbid(1, "Z99.2^^^").str();
  std::string stripped = record;
  stripped.erase(stripped.find_last_not_of(' ') + 1);
  write("lf.txt", record + "\n\n" + stripped + "\n" + record);
  write("crlf.txt", record + "\r\n\r\n" + stripped + "\r\n" + record + "\r\n");
  const Outcome lf = sh("\"$T\" explain -f json lf.txt");
  const Outcome crlf = sh("\"$T\" explain -f json < crlf.txt");
  EXPECT_EQ(lf.code, 0);
  EXPECT_EQ(lf.out, crlf.out);
  const auto rows = lines_of(lf.out);
  ASSERT_EQ(rows.size(),
            3u);  // the empty line 2 is skipped, and keeps its number
  std::vector<int> lines;
  for (const std::string& row : rows) {
    const auto j = nlohmann::json::parse(row);
    lines.push_back(j["result"]["line"]);
    EXPECT_EQ(j["result"]["cmg"], "B0102");
  }
  EXPECT_EQ(lines, (std::vector<int>{1, 3, 4}));

  const Outcome one = sh("\"$T\" explain --line 3 lf.txt crlf.txt");
  EXPECT_EQ(one.code, 0);
  EXPECT_EQ(one.out.rfind("lf.txt line 3: grouped, CMG B0102", 0), 0u) << one.out;
  EXPECT_NE(one.out.find("\ncrlf.txt line 3: grouped, CMG B0102"), std::string::npos);
  EXPECT_NE(
      one.out.find("tier B from single-code list single-2.90.csv:7: the record holds \"Z99.2^^^\""),
      std::string::npos);
}

TEST_F(ExplainCli, FatalErrorsLeaveNoOutputFile) {
  write("in.txt", RecordBuilder::valid().str() + "\n\n");
  const Outcome missingLine = sh("\"$T\" explain --line 2 -o out.txt in.txt");
  EXPECT_EQ(missingLine.code, 2);
  EXPECT_EQ(missingLine.err, "cmg290: in.txt has no record on line 2\n");
  EXPECT_FALSE(exists("out.txt"));
  const Outcome missingFile = sh("\"$T\" explain -o out.txt in.txt nothing.txt");
  EXPECT_EQ(missingFile.code, 2);
  EXPECT_EQ(missingFile.err, "cmg290: cannot open nothing.txt: No such file or directory\n");
  EXPECT_FALSE(exists("out.txt"));
  // A read that fails after the open (the first bytes of /proc/self/mem
  // cannot be read) is named by the system's own text.
  const Outcome unreadable = sh("\"$T\" explain -o out.txt /proc/self/mem");
  EXPECT_EQ(unreadable.code, 2);
  EXPECT_EQ(unreadable.err, "cmg290: cannot read /proc/self/mem: Input/output error\n");
  EXPECT_FALSE(exists("out.txt"));
  EXPECT_EQ(sh("\"$T\" explain -f xml in.txt").code, 2);
  EXPECT_EQ(sh("\"$T\" explain in.txt > /dev/full").code, 2);
  EXPECT_EQ(sh("\"$T\" explain in.txt >> in.txt").code, 2);
}

// ---------------------------------------------------------------------------
// cmg290 build

// The sample records as CSV of every field, a quoted value where it holds a
// comma or quote.
std::string samples_as_csv() {
  std::string csv;
  for (const auto& f : cmg290::kRecordLayout) csv += std::string(f.name) + ",";
  csv.back() = '\n';
  for (const std::string& record : lines_of(slurp(kSamples))) {
    for (const auto& f : cmg290::kRecordLayout) {
      std::string v = record.substr(f.start - 1, f.length);
      if (v.find_first_of(",\"") != std::string::npos) {
        std::string q = "\"";
        for (char c : v) q += c == '"' ? std::string("\"\"") : std::string(1, c);
        v = q + "\"";
      }
      csv += v + ",";
    }
    csv.back() = '\n';
  }
  return csv;
}

TEST_F(ExplainCli, BuildRoundTripOfTheSampleRecords) {
  write("samples.csv", samples_as_csv());
  const Outcome csv = sh("\"$T\" build -o built.txt samples.csv");
  ASSERT_EQ(csv.code, 0) << csv.err;
  const auto built = lines_of(read("built.txt"));
  const auto samples = lines_of(slurp(kSamples));
  ASSERT_EQ(built.size(), samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    ASSERT_EQ(built[i].size(), 1251u);
    for (const auto& f : cmg290::kRecordLayout) {
      EXPECT_EQ(built[i].substr(f.start - 1, f.length), samples[i].substr(f.start - 1, f.length))
          << "line " << i + 1 << " " << f.name;
    }
  }
  EXPECT_EQ(sh("\"$T\" group -q built.txt").out, sh("\"$T\" group -q '" + kSamples + "'").out);
}

TEST_F(ExplainCli, BuildFromJsonLinesAndCsvAlike) {
  write("in.jsonl",
        "{\"record_id\":\"IRF-PAI\",\"impairment_group\":\"  "
        "01.1\",\"comorbid_code_3\":\"\\u00e9\"}"
        "\r\n\n{\"version_date\":\"20200315\"}\n");
  write("in.csv",
        "record_id,impairment_group,comorbid_code_3\r\nIRF-PAI,  "
        "01.1,\xe9\r\n\"\",\"\",\"\"\n");
  const Outcome json = sh("\"$T\" build < in.jsonl");
  const Outcome csv = sh("\"$T\" build -f csv in.csv");
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(csv.code, 0) << csv.err;
  const auto records = lines_of(json.out);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0],
            RecordBuilder().id("IRF-PAI").impairment("  01.1").comorbid(3, "\xe9").str());
  EXPECT_EQ(records[1], RecordBuilder().versionDate("20200315").str());
  EXPECT_EQ(lines_of(csv.out)[0], records[0]);
  EXPECT_EQ(lines_of(csv.out)[1], std::string(1251, ' '));
}

TEST_F(ExplainCli, BuildRefusesABadRowWithItsLineNumber) {
  struct Case {
    std::string input, err;
  } cases[] = {
      {"record_id,colour\nIRF-PAI,red\n", "line 1: unknown field \"colour\" in the header"},
      {"record_id,record_id\n", "line 1: field record_id named twice in the header"},
      {"record_id,birth_date\nIRF-PAI,19500310\n\nIRF-PAI,195003101\n",
       "line 4: value of birth_date has 9 characters, the field holds 8"},
      {"record_id\nIRF-PAI,1\n", "line 2: 2 values, the header names 1 fields"},
      {"record_id\n\"IRF\nPAI\"\n", "line 2: value of record_id holds a line end"},
      {"record_id\n\"IRF-PAI\n", "line 2: a quoted value is not closed"},
      {"{\"record_id\":\"IRF-PAI\"}\n{\"motor_item_1\":4}\n",
       "line 2: value of motor_item_1 is not a string"},
      {"{\"record_kind\":\"\\u0100\"}\n",
       "line 1: value of record_kind holds a character beyond U+00FF, which is "
       "not one byte"},
      {"{\"record_kind\":\"12\"}\n",
       "line 1: value of record_kind has 2 characters, the field holds 1"},
  };
  for (const Case& c : cases) {
    write("in.txt", c.input);
    write("out.txt", "earlier\n");
    const Outcome run = sh("\"$T\" build -o out.txt in.txt");
    EXPECT_EQ(run.code, 2) << c.input;
    EXPECT_EQ(run.err, "cmg290: in.txt " + c.err + "\n") << c.input;
    EXPECT_EQ(read("out.txt"), "earlier\n") << "the earlier output stays as it was";
  }
  EXPECT_EQ(sh("\"$T\" build -o out.txt nothing.csv").code, 2);
  EXPECT_EQ(sh("\"$T\" build in.txt > /dev/full").code, 2);
}

}  // namespace
}  // namespace cmg290::cli_test
