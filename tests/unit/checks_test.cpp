// Record checks, table-version choice and age.
#include <gtest/gtest.h>

#include "grouping.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

TEST(StatusOrder, EachCheckRunsOnlyWhenEarlierOnesPass) {
  // Every check fails at once: the record identifier is decided first.
  RecordBuilder all_bad = valid();
  all_bad.id("IRF-PAJ").kind("3").versionDate("20100630").birthDate("2020    ");
  all_bad.impairment("  99.9");
  EXPECT_EQ(group_record(all_bad).status, 1);
  all_bad.id("IRF-PAI");
  EXPECT_EQ(group_record(all_bad).status, 2);
  all_bad.kind(" ");
  EXPECT_EQ(group_record(all_bad).status, 3);
  all_bad.versionDate("20100701");
  EXPECT_EQ(group_record(all_bad).status, 5);
  all_bad.birthDate("20200311");  // one day after the age date
  EXPECT_EQ(group_record(all_bad).status, 6);
  all_bad.birthDate("18790309");  // 141 years
  EXPECT_EQ(group_record(all_bad).status, 7);
  all_bad.birthDate("18790311");  // 140 years
  EXPECT_EQ(group_record(all_bad).status, 9);
  all_bad.impairment("  01.1");
  EXPECT_EQ(group_record(all_bad).status, 0);
}

TEST(RecordId, BlanksAnywhereAreDroppedButCaseAndCharactersCount) {
  for (const char* id : {"IRF-PAI", "   IRF-PAI", "IRF - PAI ", "I R F-PAI", "IRF-PAI   "}) {
    EXPECT_EQ(group_record(valid().id(id)).status, 0) << id;
  }
  for (const char* id : {"irf-pai", "IRF-PAI1", "IRFPAI", "IRF-PA", "", "IRF_PAI"}) {
    EXPECT_EQ(group_record(valid().id(id)).status, 1) << id;
  }
  // A zero byte inside the identifier field is kept and ends the text there.
  EXPECT_EQ(group_record(valid().id(std::string("IRF-PAI\0zz", 10))).status, 0);
  EXPECT_EQ(group_record(valid().id(std::string("IRF\0-PAI", 8))).status, 1);
}

TEST(RecordKind, OnlyThreeIsRejected) {
  EXPECT_EQ(group_record(valid().kind("3")).status, 2);
  for (const char* k : {" ", "1", "2", "4", "A"})
    EXPECT_EQ(group_record(valid().kind(k)).status, 0);
}

TEST(VersionDate, RangeBoundariesAndGaps) {
  struct Case {
    const char* date;
    const char* label;
    int status;
  };
  const Case cases[] = {
      {"20100700", "    ", 3}, {"20100701", "2.40", 0}, {"20100930", "2.40", 0},
      {"20100931", "    ", 0}, {"20101000", "    ", 0}, {"20101001", "2.50", 0},
      {"20110930", "2.50", 0}, {"20110931", "    ", 0}, {"20111000", "    ", 0},
      {"20111001", "2.60", 0}, {"20140930", "2.60", 0}, {"20140931", "    ", 0},
      {"20141000", "    ", 0}, {"20141001", "2.70", 0}, {"20150930", "2.70", 0},
      {"20150931", "    ", 0}, {"20151000", "    ", 0}, {"20151001", "2.82", 0},
      {"20160930", "2.82", 0}, {"20160931", "    ", 0}, {"20161000", "    ", 0},
      {"20161001", "2.90", 0}, {"99999999", "2.90", 0},
  };
  for (const Case& c : cases) {
    const Grouped g = group_record(valid().versionDate(c.date));
    EXPECT_EQ(g.tableVersion, c.label) << c.date;
    EXPECT_EQ(g.status, c.status) << c.date;
    EXPECT_EQ(g.grouperVersion, "2.90");
  }
  // A gap date still groups, with tier "A" and no label.
  EXPECT_EQ(group_record(valid().versionDate("20141000")).cmg, "A0102");
}

TEST(VersionDate, ConvertedLikeAtol) {
  // Leading blanks are skipped, but then fewer than eight digits remain.
  EXPECT_EQ(group_record(valid().versionDate(" 2016100")).status, 3);
  EXPECT_EQ(group_record(valid().versionDate("2016 001")).status, 3);
  EXPECT_EQ(group_record(valid().versionDate("X0161001")).status, 3);
  EXPECT_EQ(group_record(valid().versionDate("        ")).status, 3);
  EXPECT_EQ(group_record(valid().versionDate("-2016100")).status, 3);
  // Trailing non-digits end the number.
  EXPECT_EQ(group_record(valid().versionDate("2016100X")).status, 3);
  const Grouped g = group_record(valid().versionDate("+2016100"));
  EXPECT_EQ(g.status, 3);
  EXPECT_EQ(g.tableVersion, "    ");
}

TEST(BirthDate, BlankWithSameYearTextIsStatus5) {
  const RecordBuilder b = valid().ageDate("20200310");
  EXPECT_EQ(group_record(RecordBuilder(b).birthDate("2020    ")).status, 5);
  EXPECT_EQ(group_record(RecordBuilder(b).birthDate("202001 1")).status, 5);
  // Same year without a blank is fine (an age of 0).
  EXPECT_EQ(group_record(RecordBuilder(b).birthDate("20200101")).status, 0);
  // The year texts are compared raw: " 2020" is not "2020".
  EXPECT_NE(group_record(RecordBuilder(b).birthDate(" 2020   ")).status, 5);
  // A blank with an earlier year passes, with month 06 and day 15 defaults.
  const Grouped mid = group_record(RecordBuilder(b).birthDate("1950    "));
  EXPECT_EQ(mid.status, 0);
  EXPECT_EQ(mid.age, 69);  // born 1950-06-15, age date 2020-03-10
  EXPECT_EQ(group_record(valid().ageDate("20200615").birthDate("1950    ")).age, 70);
  EXPECT_EQ(group_record(valid().ageDate("20200614").birthDate("1950    ")).age, 69);
}

TEST(BirthDate, DefaultsApplyOnlyToBlankPairs) {
  // Day blank only: 1950-03-15; the age date 2020-03-14 is a day short.
  EXPECT_EQ(group_record(valid().ageDate("20200314").birthDate("195003  ")).age, 69);
  EXPECT_EQ(group_record(valid().ageDate("20200315").birthDate("195003  ")).age, 70);
  // Month blank only: 1950-06-01.
  EXPECT_EQ(group_record(valid().ageDate("20200531").birthDate("1950  01")).age, 69);
  EXPECT_EQ(group_record(valid().ageDate("20200601").birthDate("1950  01")).age, 70);
  // A pair with one blank keeps it: month "0 " converts to 0.
  EXPECT_EQ(group_record(valid().ageDate("20200101").birthDate("19500 01")).age, 70);
}

TEST(BirthDate, ThirdCharacterBlankGivesTwoDigitYear) {
  // "19 50310" converts to 19 as a whole and its year to 19: age 2001.
  const Grouped g = group_record(valid().birthDate("19 50310"));
  EXPECT_EQ(g.status, 7);
  EXPECT_EQ(g.age, 2001);
}

TEST(AgeDate, BeforeBirthIsStatus6EqualIsAgeZero) {
  EXPECT_EQ(group_record(valid().birthDate("20200311")).status, 6);
  const Grouped same = group_record(valid().birthDate("20200310"));
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.age, 0);
  // The age date gets no defaults: blanks make a small value.
  EXPECT_EQ(group_record(valid().ageDate("2020    ")).status, 6);
}

TEST(Age, BirthdayCountsOnTheDayAnd140IsTheLimit) {
  EXPECT_EQ(group_record(valid().birthDate("19500311")).age, 69);
  EXPECT_EQ(group_record(valid().birthDate("19500310")).age, 70);
  EXPECT_EQ(group_record(valid().birthDate("19500410")).age, 69);
  EXPECT_EQ(group_record(valid().birthDate("19500210")).age, 70);

  const Grouped old = group_record(valid().birthDate("18790310"));
  EXPECT_EQ(old.status, 7);
  EXPECT_EQ(old.age, 141);
  const Grouped limit = group_record(valid().birthDate("18790311"));
  EXPECT_EQ(limit.status, 0);
  EXPECT_EQ(limit.age, 140);
  // Calendar-impossible dates are used as numbers.
  EXPECT_EQ(group_record(valid().birthDate("19501332").ageDate("20201331")).age, 69);
}

TEST(Outputs, WhatEachStatusLeaves) {
  const Grouped s1 = group_record(valid().id("NOPE"));
  EXPECT_EQ(s1.result, 1);
  EXPECT_EQ(s1.cmg, "     ");
  EXPECT_EQ(s1.motor, " 0.0");
  EXPECT_EQ(s1.cognitive, 0);
  EXPECT_EQ(s1.age, 0);
  EXPECT_EQ(s1.tableVersion, "2.90");
  EXPECT_EQ(s1.grouperVersion, "2.90");

  const Grouped s6 = group_record(valid().birthDate("20200311").versionDate("20120101"));
  EXPECT_EQ(s6.status, 6);
  EXPECT_EQ(s6.age, 0);
  EXPECT_EQ(s6.tableVersion, "2.60");

  const Grouped s7 = group_record(valid().birthDate("18000101"));
  EXPECT_EQ(s7.result, 7);
  EXPECT_EQ(s7.age, 220);
  EXPECT_EQ(s7.motor, " 0.0");
  EXPECT_EQ(s7.cmg, "     ");

  const Grouped s9 = group_record(valid().impairment("  04.22"));
  EXPECT_EQ(s9.result, 9);
  EXPECT_EQ(s9.status, 9);
  EXPECT_EQ(s9.age, 70);
  EXPECT_EQ(s9.motor, " 0.0");
  EXPECT_EQ(s9.cognitive, 0);
  EXPECT_EQ(s9.cmg, "     ");

  const Grouped ok = group_record(valid());
  EXPECT_EQ(ok.result, 0);
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.cmg, "A0102");  // RIC 01, motor 480 tenths, cognitive 20
}

}  // namespace
}  // namespace cmg290::test
