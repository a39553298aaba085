// The explanation of a grouping: each status with its checks, and each kind
// of tier decision, with the expected rows, codes and cells written out.
#include "cmg290/explain.h"

#include <gtest/gtest.h>

#include "grouping.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

using Outcome = CheckOutcome;

// Explains the record and expects the same result as both grouping entries.
Explanation explained(const std::string& record) {
  const Grouped g = group_both(record);
  Explanation e = explain(record);
  EXPECT_EQ(e.result.status, g.status);
  EXPECT_EQ(e.result.cmg, g.cmg);
  EXPECT_EQ(e.result.motorScore, g.motor);
  EXPECT_EQ(e.result.cognitiveScore, g.cognitive);
  EXPECT_EQ(e.result.age, g.age);
  EXPECT_EQ(e.result.tableVersion, g.tableVersion);
  EXPECT_EQ(e.result.grouperVersion, g.grouperVersion);
  return e;
}

std::vector<Outcome> outcomes(const Explanation& e) {
  std::vector<Outcome> o;
  for (const CheckStep& c : e.checks) o.push_back(c.outcome);
  return o;
}

constexpr Outcome P = Outcome::Passed, F = Outcome::Failed, N = Outcome::NotReached;

TEST(ExplainChecks, EachStatusFailsItsOwnCheckAndStopsThere) {
  struct Case {
    RecordBuilder record;
    int status;
    std::vector<Outcome> checks;
    std::string failedDetail;
  } cases[] = {
      {RecordBuilder::valid().id("IRF PA"),
       1,
       {F, N, N, N, N, N, N},
       "\"IRFPA\" once blanks are removed"},
      {RecordBuilder::valid().kind("3"), 2, {P, F, N, N, N, N, N}, "record kind \"3\""},
      {RecordBuilder::valid().versionDate("20100630"), 3, {P, P, F, N, N, N, N}, "value 20100630"},
      {RecordBuilder::valid().birthDate("2020    "),
       5,
       {P, P, P, F, N, N, N},
       "birth date \"2020    \", age date \"20200310\""},
      {RecordBuilder::valid().birthDate("20200311"),
       6,
       {P, P, P, P, F, N, N},
       "age date 20200310, birth date 20200311"},
      {RecordBuilder::valid().birthDate("18790310"), 7, {P, P, P, P, P, F, N}, "age 141"},
      {RecordBuilder::valid().impairment("  04.22"),
       9,
       {P, P, P, P, P, P, F},
       "key \"04.22\" is on no row"},
      {RecordBuilder::valid(), 0, {P, P, P, P, P, P, P}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("status " + std::to_string(c.status));
    const Explanation e = explained(c.record);
    EXPECT_EQ(e.result.status, c.status);
    EXPECT_EQ(outcomes(e), c.checks);
    for (const CheckStep& step : e.checks) {
      if (step.outcome == F) {
        EXPECT_EQ(step.status, c.status);
        EXPECT_EQ(step.detail, c.failedDetail);
      }
      if (step.outcome == N) {
        EXPECT_EQ(step.detail, "");
      }
    }
    EXPECT_EQ(e.tier.has_value(), c.status == 0);
    EXPECT_EQ(e.scores.has_value(), c.status == 0);
    EXPECT_EQ(e.impairment.has_value(), c.status == 0 || c.status == 9);
  }
}

TEST(ExplainChecks, DatesAsUsedAndTheImpairmentKey) {
  const Explanation defaulted = explained(RecordBuilder::valid().birthDate("1950    "));
  EXPECT_EQ(defaulted.dates.birthDate, "1950    ");
  EXPECT_EQ(defaulted.dates.birthDateUsed, "19500615");
  EXPECT_EQ(defaulted.dates.age, 69);

  const Explanation beforeDefaults = explained(RecordBuilder::valid().kind("3"));
  EXPECT_FALSE(beforeDefaults.dates.birthDateUsed.has_value());
  EXPECT_FALSE(beforeDefaults.dates.age.has_value());

  const Explanation tooOld = explained(RecordBuilder::valid().birthDate("18790310"));
  EXPECT_EQ(tooOld.dates.age, 141);

  const Explanation unknown = explained(RecordBuilder::valid().impairment("xx0 4.2 2"));
  ASSERT_TRUE(unknown.impairment.has_value());
  EXPECT_EQ(unknown.impairment->key, "04.22");
  EXPECT_EQ(unknown.impairment->row, 0);
  EXPECT_EQ(unknown.impairment->ric, "");

  const Explanation found = explained(RecordBuilder::valid().impairment("990 8.5 1"));
  EXPECT_EQ(found.impairment->key, "08.51");
  EXPECT_EQ(found.impairment->row, 38);
  EXPECT_EQ(found.impairment->ric, "08");
}

TEST(ExplainVersion, DateValueAndTableVersion) {
  const Explanation gap = explained(RecordBuilder::valid().versionDate("20141000"));
  EXPECT_EQ(gap.version.value, 20141000);
  EXPECT_EQ(gap.version.tableVersion, "");
  ASSERT_TRUE(gap.tier.has_value());
  EXPECT_EQ(gap.tier->tableVersion, "");
  EXPECT_TRUE(gap.tier->lists.empty());
  EXPECT_EQ(gap.tier->letter, 'A');

  const Explanation v282 = explained(RecordBuilder::valid().versionDate("20160930"));
  EXPECT_EQ(v282.version.tableVersion, "2.82");
}

TEST(ExplainScores, EachItemsPartAndTheSums) {
  RecordBuilder r = RecordBuilder::valid();
  r.motor(1, "07").motor(9, "00").motor(10, "  ").motor(12, "-1").cognitive(2, "x ");
  const Explanation e = explained(r);
  ASSERT_TRUE(e.scores.has_value());
  const ScoresStep& s = *e.scores;
  EXPECT_EQ(s.motor[0].text, "07");
  EXPECT_EQ(s.motor[0].contribution, 42);
  EXPECT_EQ(s.motor[8].value, 0);
  EXPECT_EQ(s.motor[8].counted, 1);
  EXPECT_EQ(s.motor[8].contribution, 22);
  EXPECT_EQ(s.motor[9].counted, 2);
  EXPECT_EQ(s.motor[9].weight, 14);
  EXPECT_EQ(s.motor[9].contribution, 28);
  EXPECT_EQ(s.motor[11].counted, -1);
  EXPECT_EQ(s.motor[11].contribution, -16);
  // 480 with items 1, 9, 10 and 12 of "04" replaced: +18, -66, -28, -80.
  EXPECT_EQ(s.motorSum, 324);
  EXPECT_EQ(s.motorText, "32.4");
  EXPECT_EQ(s.cognitive[1].value, 0);
  EXPECT_EQ(s.cognitive[1].counted, 1);
  EXPECT_EQ(s.cognitiveSum, 17);
}

TEST(ExplainCmgRow, BoundsOfTheRowAndOpenBounds) {
  const Explanation e = explained(RecordBuilder::valid());  // RIC 01, 48.0, 20, age 70
  ASSERT_TRUE(e.cmgRow.has_value());
  EXPECT_EQ(e.cmgRow->row, 2);
  EXPECT_EQ(e.cmgRow->cmg, "0102");
  EXPECT_EQ(e.cmgRow->motorLow, 445);
  EXPECT_EQ(e.cmgRow->motorHigh, 510);
  EXPECT_EQ(e.cmgRow->cognitiveLow, 19);
  EXPECT_EQ(e.cmgRow->cognitiveHigh, 35);
  EXPECT_FALSE(e.cmgRow->ageLow.has_value());
  EXPECT_FALSE(e.cmgRow->ageHigh.has_value());

  const Explanation aged = explained(RecordBuilder::valid().allMotor("01"));  // 12.0, age 70
  EXPECT_EQ(aged.cmgRow->row, 10);
  EXPECT_EQ(aged.cmgRow->ageLow, 0);
  EXPECT_EQ(aged.cmgRow->ageHigh, 84);
  EXPECT_FALSE(aged.cmgRow->cognitiveLow.has_value());
}

TEST(ExplainCmgRow, NoRowHoldsScoresOutsideTheTable) {
  const Explanation e = explained(RecordBuilder::valid().allMotor("88"));
  EXPECT_EQ(e.result.status, 0);
  EXPECT_STREQ(e.result.cmg, "A");
  EXPECT_FALSE(e.cmgRow.has_value());
  EXPECT_TRUE(e.scores.has_value());
  EXPECT_TRUE(e.tier.has_value());
}

}  // namespace
}  // namespace cmg290::test
