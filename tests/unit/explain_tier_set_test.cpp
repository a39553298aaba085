// An explanation names the tier-table set that grouped, and tells whether
// the deciding tier row is a placeholder: in the struct, the JSON and the
// text, for the compiled-in lists and for a loaded set.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cmg290/explain.h"
#include "cmg290/tier_set.h"
#include "record_builder.h"
#include "tier_set_files.h"

namespace cmg290::test {
namespace {

using nlohmann::json;

constexpr const char* kPlaceholderWords = "a placeholder row, not from an official list";

// The first placeholder row of the compiled-in 2.90 single-code list that
// excludes no RIC: a record holding its code alone gets its tier from it.
int placeholder_row_290() {
  const auto set = TierSet::compiled();
  for (int r = 1; r <= set->entries(TierSetList::Single290); ++r) {
    if (set->is_placeholder(TierSetList::Single290, r) &&
        set->row(TierSetList::Single290, r).excludedRics == " ") {
      return r;
    }
  }
  return 0;
}

std::string record_holding(std::string_view code) {
  return RecordBuilder::valid().comorbid(1, std::string(code)).str();
}

TEST(ExplainTierSet, CompiledInSetIsNamedInEveryExplanation) {
  const auto compiled = TierSet::compiled();
  for (const std::string& record :
       {RecordBuilder::valid().comorbid(1, "Z99.2^^^").str(), RecordBuilder::valid().id("x").str(),
        RecordBuilder::valid().versionDate("20100630").str()}) {
    const Explanation e = explain(record);
    EXPECT_TRUE(e.tierSet.compiledIn);
    EXPECT_TRUE(e.tierSet.placeholders);
    EXPECT_EQ(e.tierSet.name, "compiled-in");
    EXPECT_EQ(e.tierSet.digest, compiled->digest());
    EXPECT_EQ(e.tierSet.identity, compiled->identity());
    // The last member, also when the pass ended before the tier search.
    const std::string text = explain_json(e);
    const std::string tail = ",\"tier_set\":" + tier_set_json(*compiled) + "}";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(json::parse(text)["tier_set"]["compiled_in"], true);
  }
}

TEST(ExplainTierSet, DecidingRowOfficialOrPlaceholder) {
  const std::string official = RecordBuilder::valid().comorbid(1, "Z99.2^^^").str();
  const Explanation e = explain(official);
  ASSERT_TRUE(e.tier && e.tier->decision);
  EXPECT_EQ(e.tier->decision->row, 6);
  EXPECT_FALSE(e.tier->decision->placeholder);
  EXPECT_EQ(json::parse(explain_json(e))["tier"]["placeholder"], false);
  const std::string text = explain_text(e);
  EXPECT_NE(text.find("\n    tier-table set " + TierSet::compiled()->identity() +
                      ", which holds placeholder rows\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find(kPlaceholderWords), std::string::npos) << text;

  const int row = placeholder_row_290();
  ASSERT_NE(row, 0);
  const std::string code(TierSet::compiled()->row(TierSetList::Single290, row).code);
  const Explanation p = explain(record_holding(code));
  ASSERT_TRUE(p.tier && p.tier->decision);
  EXPECT_EQ(p.tier->letter, 'D');
  EXPECT_EQ(p.tier->decision->row, row);
  EXPECT_TRUE(p.tier->decision->placeholder);
  EXPECT_EQ(json::parse(explain_json(p))["tier"]["placeholder"], true);
  EXPECT_NE(explain_text(p).find("(cell 1); " + std::string(kPlaceholderWords) + "\n"),
            std::string::npos)
      << explain_text(p);

  // Letter A: no row decided, none was a placeholder.
  const json none = json::parse(explain_json(explain(RecordBuilder::valid().str())));
  EXPECT_EQ(none["tier"]["letter"], "A");
  EXPECT_EQ(none["tier"]["placeholder"], false);
}

// A loaded set is named by its manifest; whether a row is a placeholder is
// the row's own: no manifest key silences it, "official" in its placeholder
// column clears it.
TEST(ExplainTierSet, LoadedSetIsNamedAndKeepsItsPlaceholderMarks) {
  const int row = placeholder_row_290();
  ASSERT_NE(row, 0);
  const std::string record =
      record_holding(TierSet::compiled()->row(TierSetList::Single290, row).code);
  for (const bool marked : {true, false}) {
    SetDir dir;
    dir.write_compiled();
    dir.write("manifest.txt", "name = test \"lists\"\nplaceholders = none\n");
    if (!marked) {
      const std::string line = dir.line("single-2.90.csv", row + 1);
      dir.set_line("single-2.90.csv", row + 1, line.substr(0, line.rfind(',')) + ",official");
    }
    std::vector<TierSetProblem> problems;
    const auto set = dir.load(problems);
    ASSERT_NE(set, nullptr) << problems_text(problems);
    const Explanation e = explain(record, *set);
    EXPECT_FALSE(e.tierSet.compiledIn);
    EXPECT_EQ(e.tierSet.name, "test \"lists\"");
    EXPECT_TRUE(e.tierSet.placeholders);
    ASSERT_TRUE(e.tier && e.tier->decision);
    EXPECT_EQ(e.tier->decision->placeholder, marked);

    const json j = json::parse(explain_json(e));
    EXPECT_EQ(j["tier_set"], json::parse(tier_set_json(*set)));
    EXPECT_EQ(j["tier_set"]["name"], "test \"lists\"");
    EXPECT_EQ(j["tier"]["placeholder"], marked);
    EXPECT_EQ(j["tier"]["lists"][0]["name"], "single-2.90.csv");

    const std::string text = explain_text(e);
    EXPECT_NE(text.find("\n    tier-table set test \\x22lists\\x22 sha256:" + set->digest() +
                        ", which holds placeholder rows\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find(kPlaceholderWords) != std::string::npos, marked) << text;
  }
}

}  // namespace
}  // namespace cmg290::test
