// The explanation written out: JSON members and values, nulls for what the
// pass did not reach, any bytes, and the text report's wording.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cmg290/explain.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

using nlohmann::json;

json explain_parsed(const std::string& record, const ExplainFormat& format = {}) {
  return json::parse(explain_json(explain(record), format));
}

TEST(ExplainJson, GroupedRecordWithAPair) {
  RecordBuilder r = RecordBuilder::valid().comorbid(1, "B39.4^^^").comorbid(2, "G02.^^^^");
  const std::string text = explain_json(explain(r.str()), {"", 7, false});
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.rfind("{\"result\":{\"line\":7,\"status\":0,\"description\":\"grouped\",\"cmg\":"
                       "\"D0102\",\"motor_score\":48.0,\"cognitive_score\":20,\"age\":70,"
                       "\"table_version\":\"2.90\",\"grouper_version\":\"2.90\"},",
                       0),
            0u)
      << text;
  const json j = json::parse(text);
  EXPECT_EQ(j["fields"]["record_id"], "IRF-PAI   ");
  EXPECT_EQ(j["fields"]["comorbid_code_2"], "G02.^^^^");
  EXPECT_EQ(j["fields"].size(), 48u);
  EXPECT_EQ(j["checks"].size(), 7u);
  EXPECT_EQ(j["checks"][6], json::parse(R"({"status":9,"check":"impairment group is in the table",
      "outcome":"passed","detail":"key \"01.1\" on row 1"})"));
  EXPECT_EQ(j["version_date"], json::parse(R"({"text":"20200315","value":20200315,
      "table_version":"2.90"})"));
  EXPECT_EQ(j["dates"], json::parse(R"({"birth_date":"19500310","birth_date_used":"19500310",
      "age_date":"20200310","age":70})"));
  EXPECT_EQ(j["impairment"], json::parse(R"({"key":"01.1","row":1,"ric":"01"})"));
  EXPECT_EQ(j["motor"]["items"][9], json::parse(R"({"item":10,"text":"04","value":4,
      "counted":4,"weight":14,"contribution":56})"));
  EXPECT_EQ(j["motor"]["sum"], 480);
  EXPECT_EQ(j["motor"]["text"], "48.0");
  EXPECT_EQ(j["cognitive"]["sum"], 20);
  EXPECT_EQ(j["cmg_row"], json::parse(R"({"row":2,"ric":"01","cmg":"0102","motor_low":445,
      "motor_high":510,"cognitive_low":19,"cognitive_high":35,"age_low":null,"age_high":null})"));
  EXPECT_EQ(j["tier"], json::parse(R"({"table_version":"2.90","letter":"D",
      "lists":[{"list":"single","name":"CmdICD290s1","rows":1156},
               {"list":"pair","name":"CmdICD290c1, CmdICD290c2","rows":63}],
      "scan":"full","cells_scanned":25,"caret_cell":null,"list":"pair","row":1,
      "codes":["B39.4^^^","G02.^^^^"],"cells":[1,2],"placeholder":false,"skipped":[],
      "excluded_pairs":[],
      "barred":[]})"));
}

TEST(ExplainJson, WhatThePassDidNotReachIsNull) {
  const json j = explain_parsed(RecordBuilder::valid().kind("3").versionDate("20100630"));
  EXPECT_EQ(j["result"], json::parse(R"({"status":2,"description":"record kind 3 is not grouped",
      "cmg":null,"motor_score":null,"cognitive_score":null,"age":null,"table_version":null,
      "grouper_version":"2.90"})"));
  EXPECT_EQ(j["checks"][2]["outcome"], "not reached");
  EXPECT_TRUE(j["checks"][2]["detail"].is_null());
  EXPECT_TRUE(j["dates"]["birth_date_used"].is_null());
  EXPECT_TRUE(j["dates"]["age"].is_null());
  EXPECT_TRUE(j["version_date"]["table_version"].is_null());
  for (const char* member : {"impairment", "motor", "cognitive", "cmg_row", "tier"}) {
    EXPECT_TRUE(j[member].is_null()) << member;
  }
  const json unknown = explain_parsed(RecordBuilder::valid().impairment("  04.22"));
  EXPECT_EQ(unknown["impairment"], json::parse(R"({"key":"04.22","row":null,"ric":null})"));
  EXPECT_EQ(unknown["result"]["age"], 70);
}

TEST(ExplainJson, AnyBytesGiveValidJson) {
  const std::string id("I\xe9\x01\"\\\n\x7f\xff  ", 10);
  const std::string record = RecordBuilder::valid().at(1, id).str();
  const json j = explain_parsed(record, {"in \"a\".txt", 3, false});
  EXPECT_EQ(j["result"]["file"], "in \"a\".txt");
  EXPECT_EQ(j["result"]["status"], 1);
  EXPECT_EQ(j["fields"]["record_id"], "I\u00e9\u0001\"\\\n\u007f\u00ff  ");
  // Raw high bytes: the bytes 0xe9 and 0xff stand as they are.
  const std::string raw = explain_json(explain(record), {"", 0, true});
  EXPECT_NE(raw.find("\"record_id\":\"I\xe9\\u0001\\\"\\\\\\n\\u007f\xff  \""), std::string::npos)
      << raw.substr(0, 400);
}

TEST(ExplainJson, AnExcludedPairBarsTheSecondaryRowsOfBothItsCodes) {
  // RIC 15 ("  10.1"): pair row 54 ("T80.0XXA", "I26.90^^") is present and
  // excluded; it bars secondary row 48 ("T80.0XXA") and row 32 ("I26.90^^").
  RecordBuilder r = RecordBuilder::valid().impairment("  10.1");
  r.comorbid(1, "T80.0XXA").comorbid(2, "I26.90^^");
  const json j = explain_parsed(r.str());
  EXPECT_EQ(j["result"]["status"], 0);
  EXPECT_EQ(j["impairment"]["ric"], "15");
  EXPECT_EQ(j["tier"]["barred"], json::parse("[32, 48]"));
  EXPECT_EQ(j["tier"]["excluded_pairs"], json::parse(R"([{"row":54,
      "codes":["T80.0XXA","I26.90^^"],"cells":[1,2],"barred":[48,32]}])"));
  EXPECT_EQ(j["tier"]["skipped"], json::parse(R"([
      {"list":"secondary","row":32,"code":"I26.90^^","cell":2,"reason":"ric excluded"},
      {"list":"secondary","row":48,"code":"T80.0XXA","cell":1,"reason":"barred"}])"));
  EXPECT_EQ(j["tier"]["letter"], "A");
}

// A skipped row is named by its row in the list (in the text, by its line in
// the list's file), and the record's cell that holds its code is given
// apart: row 12 of the 2.40 list, line 13 of its file, cell 3.
TEST(ExplainJson, SkippedRowsCarryTheirRowAndTheirCell) {
  RecordBuilder r = RecordBuilder::valid().versionDate("20100801").impairment("  01.1");
  r.comorbid(3, "438.82");
  const Explanation e = explain(r.str());
  EXPECT_EQ(json::parse(explain_json(e))["tier"]["skipped"], json::parse(R"([
      {"list":"single","row":12,"code":"438.82","cell":3,"reason":"ric excluded"}])"));
  const std::string text = explain_text(e);
  EXPECT_NE(
      text.find("\n      single-2.40.csv:13 holds \"438.82\" (cell 3): skipped, its excluded RICs "
                "hold the record's RIC\n"),
      std::string::npos)
      << text;
}

// Status 6 is decided on the birth date as defaulted ("2021    " is taken
// as 15 June 2021, after the age date): the explanation shows that date.
TEST(ExplainJson, BirthDateUsedIsShownWhenTheAgeDateIsBeforeIt) {
  const Explanation e = explain(RecordBuilder::valid().birthDate("2021    ").str());
  ASSERT_EQ(e.result.status, 6);
  EXPECT_EQ(e.dates.birthDateUsed, "20210615");
  EXPECT_EQ(json::parse(explain_json(e))["dates"], json::parse(R"({"birth_date":"2021    ",
      "birth_date_used":"20210615","age_date":"20200310","age":null})"));
  const std::string text = explain_text(e);
  EXPECT_NE(text.find("birth date \"2021    \", used as \"20210615\""), std::string::npos) << text;
}

TEST(ExplainText, PlainWordsForAnExcludedPair) {
  RecordBuilder r = RecordBuilder::valid().impairment("  02.1");
  r.comorbid(1, "B39.4^^^").comorbid(2, "G02.^^^^");
  const std::string text = explain_text(explain(r.str()), {"in.txt", 4, false});
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "in.txt line 4: grouped, CMG A0301, motor score 48.0, cognitive score 20, age 70, "
            "table version 2.90");
  for (const char* line : {
           "\n  impairment group \"  02.1   \": key \"02.1\", impairment table row 8, RIC 03\n",
           "\n  CMG row 18: RIC 03, motor 41.1 to 84.0, any cognitive score, any age: CMG 0301\n",
           "\n      pair.csv:2 holds \"B39.4^^^\" (cell 1) and \"G02.^^^^\" (cell 2): excluded "
           "for the record's RIC, no tier; bars secondary.csv lines 2, 32\n",
           "\n      secondary.csv:2 holds \"B39.4^^^\" (cell 1): skipped, barred by an "
           "excluded pair\n",
           "\n    no row gives a tier: tier A\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
  }
  const std::string failed = explain_text(explain(RecordBuilder::valid().id("x").str()));
  EXPECT_EQ(failed.substr(0, failed.find('\n')),
            "record: not grouped, status 1 (record identifier is not IRF-PAI)");
  EXPECT_NE(failed.find("\n    FAILED     record identifier is IRF-PAI: \"x\" once blanks are "
                        "removed\n"),
            std::string::npos);
}

}  // namespace
}  // namespace cmg290::test
