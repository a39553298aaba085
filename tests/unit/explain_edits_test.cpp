// An explanation carries the record's edits, found with the set that
// explained it, and writes them: the JSON member "edits" (the library's
// array, before "tier_set") and the text's list, bytes escaped.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "cmg290/explain.h"
#include "cmg290/tier_set.h"
#include "record_builder.h"
#include "tier_set_files.h"

namespace cmg290::test {
namespace {

using nlohmann::json;

std::string codes(const Edits& edits) {
  std::string text;
  for (const Edit& e : edits) text += std::string(text.empty() ? "" : ";") + std::string(e.code());
  return text;
}

std::string edits_json(const Edits& edits) {
  std::string out(edits_json_room(edits), '\0');
  out.resize(static_cast<std::size_t>(write_edits_json(out.data(), edits) - out.data()));
  return out;
}

// A record with an item "88", a code without its dot and filler; one with a
// code in two cells; one without an edit; one not grouped (status 6) with an
// invalid age date; and one cut short.
std::vector<std::string> records() {
  return {
      RecordBuilder::valid().motor(3, "88").comorbid(1, "J3801").comorbid(2, "I10.^^^^").str(),
      RecordBuilder::valid().comorbid(2, "I10.^^^^").comorbid(5, "I10.^^^^").str(),
      RecordBuilder::valid().str(),
      RecordBuilder::valid().ageDate("19400231").str(),
      RecordBuilder::valid().str().substr(0, 1000),
  };
}

TEST(ExplainEdits, AreTheRecordsEditsInJsonBeforeTheSet) {
  for (const std::string& record : records()) {
    const Explanation e = explain(record);
    Edits expected;
    find_edits(record, group(record), expected);
    EXPECT_EQ(codes(e.edits), codes(expected));
    // The library's array, byte for byte, just before the last member.
    const std::string text = explain_json(e);
    const std::string tail = ",\"edits\":" + edits_json(expected) +
                             ",\"tier_set\":" + tier_set_json(*TierSet::compiled()) + "}";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
  }
  const Explanation raised = explain(records()[0]);
  // The item "88" leaves no CMG row: the record raises that too.
  EXPECT_EQ(codes(raised.edits), "comorbid-code-form;item-value;no-cmg-row");
  const json j = json::parse(explain_json(raised))["edits"];
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[1], json::parse(R"({"code":"item-value","severity":"error","field":"motor_item_3",
      "value":"88","message":"\"88\" is neither blank nor a value from 0 to 7; it counts as 88"})"));
  EXPECT_EQ(json::parse(explain_json(explain(records()[2])))["edits"], json::array());
  const json cut = json::parse(explain_json(explain(records()[4])))["edits"][0];
  EXPECT_EQ(cut["code"], "short-record");
  EXPECT_EQ(cut["field"], nullptr);
}

// Found with the set that explained: a set without J38.01 on its 2.90
// single-code list gives "J3801" no form edit, as grouping with it gives no
// tier.
TEST(ExplainEdits, AreFoundWithTheSetThatExplained) {
  SetDir dir;
  dir.write_compiled();
  std::string kept;
  int removed = 0;
  for (const std::string& line : dir.lines_of("single-2.90.csv")) {
    if (line.find("J38.01") != std::string::npos) {
      ++removed;
    } else {
      kept += line + "\n";
    }
  }
  ASSERT_GT(removed, 0);
  dir.write("single-2.90.csv", kept);
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems, true);
  ASSERT_NE(set, nullptr) << problems_text(problems);

  const std::string record = RecordBuilder::valid().comorbid(1, "J3801").str();
  EXPECT_EQ(codes(explain(record).edits), "comorbid-code-form");
  const Explanation withSet = explain(record, *set);
  EXPECT_EQ(codes(withSet.edits), "");
  Edits expected;
  find_edits(record, group(record, *set), *set, expected);
  EXPECT_EQ(codes(withSet.edits), codes(expected));
  EXPECT_EQ(json::parse(explain_json(withSet))["edits"], json::array());
}

TEST(ExplainEdits, TextListsThemOnePerLineWithOddBytesEscaped) {
  const std::string text = explain_text(explain(records()[0]));
  const std::size_t at = text.find("\n  edits:\n");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_EQ(text.substr(at + 1),
            "  edits:\n"
            "    comorbid-code-form, error, comorbid_code_1 \"J3801\": \"J3801\" matches no "
            "list entry as written; table version 2.90 compares \"J38.01^^\", which is on its "
            "lists; written so, the tier would be B instead of A\n"
            "    item-value, error, motor_item_3 \"88\": \"88\" is neither blank nor a value from "
            "0 to 7; it counts as 88\n"
            "    no-cmg-row, error, the record \"A\": no CMG row of RIC 01 holds motor score "
            "123.6, cognitive score 20 and age 70: the result is the tier letter alone\n")
      << text;
  EXPECT_NE(explain_text(explain(records()[2])).find("\n  edits: none\n"), std::string::npos);
  EXPECT_NE(explain_text(explain(records()[4])).find("\n    short-record, warning, the record: "),
            std::string::npos);

  // Control bytes, a line end and bytes above 0x7f in an item and a code
  // stay on their line as \xHH, in the value and in the message.
  const std::string odd =
      RecordBuilder::valid().motor(2, std::string("\n\x01", 2)).comorbid(3, "I10.\x80\x1b").str();
  const std::string oddText = explain_text(explain(odd));
  const std::size_t list = oddText.find("\n  edits:\n");
  ASSERT_NE(list, std::string::npos) << oddText;
  const std::string listed = oddText.substr(list + 1);
  EXPECT_NE(listed.find("    unreadable-byte, warning, comorbid_code_3 \"I10.\\x80\\x1b\": byte "
                        "0x80 at position"),
            std::string::npos)
      << listed;
  EXPECT_NE(listed.find(", motor_item_2 \"\\x0a\\x01\": "), std::string::npos) << listed;
  for (char c : listed) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(c == '\n' || (b >= 0x20 && b < 0x7f)) << static_cast<int>(b);
  }
  std::size_t lines = 0;
  for (char c : listed) lines += c == '\n';
  EXPECT_EQ(lines, 1 + static_cast<std::size_t>(explain(odd).edits.count));
}

// Raw high bytes keep bytes 0x80-0xff as they are in the edits too, as a
// PostgreSQL database in SQL_ASCII needs them.
TEST(ExplainEdits, RawHighBytesReachTheEditsMember) {
  const std::string record = RecordBuilder::valid().comorbid(3, "I10.\xe9").str();
  const Explanation e = explain(record);
  ASSERT_EQ(codes(e.edits), "unreadable-byte");
  const std::string escaped = explain_json(e);
  EXPECT_NE(escaped.find(",\"edits\":" + edits_json(e.edits) + ","), std::string::npos);
  const std::string raw = explain_json(e, {"", 0, true});
  const std::size_t at = raw.rfind(",\"edits\":");
  ASSERT_NE(at, std::string::npos);
  const std::string member = raw.substr(at);
  EXPECT_NE(member.find("\"value\":\"I10.\xe9\""), std::string::npos) << member;
  EXPECT_EQ(member.find("\\u00e9"), std::string::npos) << member;
}

}  // namespace
}  // namespace cmg290::test
