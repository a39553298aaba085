// The tier part of an explanation: lists searched, scan window, deciding
// row, skipped rows and excluded pairs, with the expected rows, codes and
// cells written out from the tier tables.
#include <gtest/gtest.h>

#include "cmg290/explain.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

constexpr const char* k240 = "20100801";
constexpr const char* k260 = "20120101";
constexpr const char* k270 = "20150101";
constexpr const char* k290 = "20200315";

// A valid record of the version date, impairment group and comorbid slots.
TierStep tier_of(const char* versionDate, const char* impairment,
                 std::initializer_list<std::pair<int, const char*>> slots) {
  RecordBuilder r = RecordBuilder::valid().versionDate(versionDate).impairment(impairment);
  for (const auto& [slot, code] : slots) r.comorbid(slot, code);
  const Explanation e = explain(r.str());
  EXPECT_EQ(e.result.status, 0);
  EXPECT_EQ(e.result.cmg[0], e.tier.value().letter);
  EXPECT_STREQ(e.result.cmg, group(r.str()).cmg);
  return *e.tier;
}

void expect_decision(const TierStep& t, char letter, TierList list, int row,
                     const std::vector<std::string>& codes, const std::vector<int>& cells) {
  EXPECT_EQ(t.letter, letter);
  ASSERT_TRUE(t.decision.has_value());
  EXPECT_EQ(t.decision->list, list);
  EXPECT_EQ(t.decision->row, row);
  EXPECT_EQ(t.decision->codes, codes);
  EXPECT_EQ(t.decision->cells, cells);
}

std::vector<std::string> names_of(const TierStep& t) {
  std::vector<std::string> names;
  for (const ListSearched& l : t.lists) names.emplace_back(l.name);
  return names;
}

TEST(ExplainTier, SingleListHit) {
  const TierStep t = tier_of(k290, "  01.1", {{1, "A04.7^^^"}, {4, "Z99.2^^^"}});
  expect_decision(t, 'B', TierList::Single, 6, {"Z99.2^^^"}, {4});
  EXPECT_EQ(t.tableVersion, "2.90");
  EXPECT_EQ(names_of(t), std::vector<std::string>{"CmdICD290s1"});
  EXPECT_EQ(t.lists[0].rows, 1156);
  EXPECT_TRUE(t.fullScan);
  EXPECT_EQ(t.cellsScanned, 25);
  EXPECT_EQ(t.caretCell, 0);
  EXPECT_TRUE(t.skipped.empty());
}

TEST(ExplainTier, ExcludedRowIsSkippedAndALaterRowDecides) {
  // 2.40, RIC 01: "438.82" is row 12 (C), excluded for 01; "011.00" row 20 (D).
  const TierStep t = tier_of(k240, "  01.1", {{1, "438.82"}, {2, "011.00"}});
  expect_decision(t, 'D', TierList::Single, 20, {"011.00"}, {2});
  ASSERT_EQ(t.skipped.size(), 1u);
  EXPECT_EQ(t.skipped[0].list, TierList::Single);
  EXPECT_EQ(t.skipped[0].row, 12);
  EXPECT_EQ(t.skipped[0].code, "438.82");
  EXPECT_EQ(t.skipped[0].cell, 1);
  EXPECT_EQ(t.skipped[0].reason, SkipReason::RicExcluded);
  EXPECT_EQ(names_of(t), std::vector<std::string>{"CmdICD240"});
  EXPECT_FALSE(t.fullScan);
  EXPECT_EQ(t.cellsScanned, 10);
}

TEST(ExplainTier, PairDecides) {
  const TierStep t = tier_of(k290, "  01.1", {{3, "B39.4^^^"}, {5, "G02.^^^^"}});
  expect_decision(t, 'D', TierList::Pair, 1, {"B39.4^^^", "G02.^^^^"}, {3, 5});
  EXPECT_EQ(names_of(t), (std::vector<std::string>{"CmdICD290s1", "CmdICD290c1, CmdICD290c2"}));
  EXPECT_TRUE(t.excludedPairs.empty());
  EXPECT_TRUE(t.barred.empty());
}

TEST(ExplainTier, TheLastQualifyingPairDecides) {
  // RIC 01: pair rows 2 ("B39.4^^^", "H32.^^^^", no RIC excluded) and 3
  // ("B39.4^^^", "I32.^^^^", "14") both qualify; the search runs through
  // every pair row, so row 3 stands.
  RecordBuilder r = RecordBuilder::valid().versionDate(k290).impairment("  01.1");
  r.comorbid(1, "B39.4^^^").comorbid(2, "H32.^^^^").comorbid(3, "I32.^^^^");
  const TierStep t = tier_of(k290, "  01.1", {{1, "B39.4^^^"}, {2, "H32.^^^^"}, {3, "I32.^^^^"}});
  expect_decision(t, 'D', TierList::Pair, 3, {"B39.4^^^", "I32.^^^^"}, {1, 3});
  EXPECT_TRUE(t.excludedPairs.empty());
  const std::string text = explain_text(explain(r.str()));
  EXPECT_NE(text.find("\n    tier D from pair list pair.csv:4: the record holds \"B39.4^^^\" "
                      "(cell 1) and \"I32.^^^^\" (cell 3)\n"),
            std::string::npos)
      << text;
}

TEST(ExplainTier, ExcludedPairBarsTheSecondaryRowThatWouldDecide) {
  // Alone, "B39.4^^^" is secondary row 1, not excluded for RIC 03: tier D.
  const TierStep alone = tier_of(k290, "  02.1", {{1, "B39.4^^^"}});
  expect_decision(alone, 'D', TierList::Secondary, 1, {"B39.4^^^"}, {1});

  // With "G02.^^^^", pair row 1 is present but excluded for RIC 03 ("03, 05"):
  // it bars secondary rows 1 and 31, and row 31 is excluded for 03 itself.
  const TierStep t = tier_of(k290, "  02.1", {{1, "B39.4^^^"}, {2, "G02.^^^^"}});
  EXPECT_EQ(t.letter, 'A');
  EXPECT_FALSE(t.decision.has_value());
  EXPECT_EQ(names_of(t),
            (std::vector<std::string>{"CmdICD290s1", "CmdICD290c1, CmdICD290c2", "CmdICD290s2"}));
  ASSERT_EQ(t.excludedPairs.size(), 1u);
  EXPECT_EQ(t.excludedPairs[0].row, 1);
  EXPECT_EQ(t.excludedPairs[0].code1, "B39.4^^^");
  EXPECT_EQ(t.excludedPairs[0].code2, "G02.^^^^");
  EXPECT_EQ(t.excludedPairs[0].cell1, 1);
  EXPECT_EQ(t.excludedPairs[0].cell2, 2);
  EXPECT_EQ(t.excludedPairs[0].barred, (std::vector<int>{1, 31}));
  EXPECT_EQ(t.barred, (std::vector<int>{1, 31}));
  ASSERT_EQ(t.skipped.size(), 2u);
  EXPECT_EQ(t.skipped[0].list, TierList::Secondary);
  EXPECT_EQ(t.skipped[0].row, 1);
  EXPECT_EQ(t.skipped[0].reason, SkipReason::Barred);
  EXPECT_EQ(t.skipped[1].row, 31);
  EXPECT_EQ(t.skipped[1].code, "G02.^^^^");
  EXPECT_EQ(t.skipped[1].reason, SkipReason::RicExcluded);
}

TEST(ExplainTier, CaretEndsTheFullScanBeforeAListedCode) {
  const TierStep t = tier_of(k290, "  01.1", {{1, "K91.2^^^"}, {2, " ^"}, {3, "J38.01^^"}});
  EXPECT_EQ(t.caretCell, 2);
  EXPECT_EQ(t.cellsScanned, 1);
  expect_decision(t, 'C', TierList::Single, 16, {"K91.2^^^"}, {1});

  const TierStep first = tier_of(k270, "  01.1", {{1, "^"}, {2, "478.31"}});
  EXPECT_EQ(first.caretCell, 1);
  EXPECT_EQ(first.cellsScanned, 0);
  EXPECT_EQ(first.letter, 'A');
  EXPECT_FALSE(first.decision.has_value());

  // The short scan of 2.60 makes no "^" test.
  const TierStep shortScan = tier_of(k260, "  01.1", {{3, "^"}, {7, "478.31"}});
  EXPECT_EQ(shortScan.caretCell, 0);
  expect_decision(shortScan, 'B', TierList::Single, 1, {"478.31"}, {7});
}

TEST(ExplainTier, CellElevenIsScannedFrom270On) {
  const TierStep v260 = tier_of(k260, "  01.1", {{11, "478.31"}});
  EXPECT_EQ(v260.letter, 'A');
  EXPECT_EQ(v260.cellsScanned, 10);
  EXPECT_EQ(names_of(v260), std::vector<std::string>{"CmdICD260"});

  const TierStep v270 = tier_of(k270, "  01.1", {{11, "478.31"}});
  expect_decision(v270, 'B', TierList::Single, 1, {"478.31"}, {11});
  EXPECT_TRUE(v270.fullScan);
  EXPECT_EQ(names_of(v270), std::vector<std::string>{"CmdICD260"});
}

}  // namespace
}  // namespace cmg290::test
