// Impairment group to RIC, motor and cognitive scores, CMG lookup.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "cmg290/tables.h"
#include "grouper/classify.h"
#include "grouping.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

using detail::find_cmg_row;

// RIC of an impairment group field, or "" when the record is not grouped.
std::string ric_of(const char* impairmentField) {
  const Grouped g = group_record(RecordBuilder::valid().impairment(impairmentField));
  return g.status == 0 ? g.cmg.substr(1, 2) : "";
}

TEST(ImpairmentKey, CharactersThreeToNineWithoutBlanks) {
  EXPECT_EQ(ric_of("  01.1"), "01");
  EXPECT_EQ(ric_of("XY01.1"), "01");  // the first two characters never count
  EXPECT_EQ(ric_of("9901.1   "), "01");
  EXPECT_EQ(ric_of("  0 8.5 1"), "08");
  EXPECT_EQ(ric_of("   08.51 "), "08");
  EXPECT_EQ(ric_of("01.1"), "");  // key ".1"
  EXPECT_EQ(ric_of("         "), "");
}

TEST(ImpairmentKey, WholeCodeEquality) {
  EXPECT_EQ(ric_of("  04.22"), "");  // prefix of 04.2211
  EXPECT_EQ(ric_of("  01.11"), "");  // 01.1 plus a digit
  EXPECT_EQ(ric_of("  1.1"), "");
  EXPECT_EQ(ric_of("  04.2211"), "04");
  EXPECT_EQ(ric_of("  04.1222"), "05");
}

TEST(ImpairmentKey, TableSamplesAcrossRics) {
  const std::pair<const char*, const char*> samples[] = {
      {"  09", "14"},   {"  11", "21"},   {"  13", "20"},    {"  15", "20"},
      {"  16", "20"},   {"  02.1", "03"}, {"  02.21", "02"}, {"  08.9", "09"},
      {"  08.4", "17"}, {"  14.9", "17"}, {"  03.4", "19"},  {"  17.9", "20"},
      {"  05.9", "11"}, {"  06.2", "12"}, {"  10.9", "15"},  {"  07.9", "16"},
  };
  for (const auto& [field, ric] : samples) EXPECT_EQ(ric_of(field), ric) << field;
}

TEST(ImpairmentKey, EveryTableRowMapsToItsRic) {
  for (int row = 1; row < kImpairmentRows; ++row) {
    const std::string field = std::string("  ") + Imp240[row];
    EXPECT_EQ(ric_of(field.c_str()), Ric240[row]) << Imp240[row];
  }
}

Grouped with_motor(const std::string& item, int k = 0, const std::string& other = "") {
  RecordBuilder b = RecordBuilder::valid();
  if (k == 0) {
    b.allMotor(item);
  } else {
    b.allMotor(other).motor(k, item);
  }
  return group_record(b);
}

TEST(MotorScore, WeightsAndZeroRules) {
  EXPECT_EQ(with_motor("07").motor, "84.0");
  EXPECT_EQ(with_motor("01").motor, "12.0");
  EXPECT_EQ(with_motor("  ").motor, "13.4");  // item 10 counts 2, the rest 1
  EXPECT_EQ(with_motor("00").motor, "13.4");
  EXPECT_EQ(with_motor("  ", 10, "07").motor, "77.0");
  EXPECT_EQ(with_motor("01", 10, "07").motor, "75.6");
  EXPECT_EQ(with_motor("00", 9, "07").motor, "70.8");
  EXPECT_EQ(with_motor("88", 9, "01").motor, "203.4");
  EXPECT_EQ(with_motor("09", 9, "07").motor, "88.4");
  // Each item carries its own weight: one item at 2, the others at 1.
  const int weights[] = {6, 2, 9, 2, 14, 12, 5, 2, 22, 14, 16, 16};
  for (int k = 1; k <= 12; ++k) {
    const int tenths = 120 + weights[k - 1];
    const std::string expected = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    EXPECT_EQ(with_motor("02", k, "01").motor, expected) << "item " << k;
  }
}

TEST(MotorScore, ConversionAndTextOfUnusualValues) {
  EXPECT_EQ(with_motor("-1").motor, "-12.0");
  EXPECT_EQ(with_motor(" 7").motor, "84.0");
  EXPECT_EQ(with_motor("7 ").motor, "84.0");
  EXPECT_EQ(with_motor("x7").motor, "13.4");  // no digits: 0, counted as 1
  EXPECT_EQ(with_motor("-9").motor, "-108.0");
  EXPECT_EQ(with_motor("99").motor, "1188.0");
  // Sums of one digit get the point in front: 7 and -7 tenths.
  char text[16];
  detail::motor_text(7, text);
  EXPECT_STREQ(text, ".7");
  detail::motor_text(-7, text);
  EXPECT_STREQ(text, "-.7");
  detail::motor_text(0, text);
  EXPECT_STREQ(text, ".0");
  detail::motor_text(-120, text);
  EXPECT_STREQ(text, "-12.0");
}

TEST(CognitiveScore, PlainSumWithZeroAsOne) {
  RecordBuilder b = RecordBuilder::valid();
  EXPECT_EQ(group_record(b.allCognitive("07")).cognitive, 35);
  EXPECT_EQ(group_record(b.allCognitive("  ")).cognitive, 5);
  EXPECT_EQ(group_record(b.allCognitive("00")).cognitive, 5);
  b.cognitive(1, "03").cognitive(2, "00").cognitive(3, "07").cognitive(4, " 2").cognitive(5, "x ");
  EXPECT_EQ(group_record(b).cognitive, 14);
  EXPECT_EQ(group_record(b.allCognitive("-1")).cognitive, -5);
}

std::string cmg(const char* ric, int motor, int cognitive, int age) {
  const int row = find_cmg_row(ric, motor, cognitive, age);
  return row == 0 ? "none" : CMG[row];
}

TEST(CmgLookup, Ric01CognitiveAndAgeSplits) {
  EXPECT_EQ(cmg("01", 840, 5, 0), "0101");
  EXPECT_EQ(cmg("01", 511, 5, 140), "0101");
  EXPECT_EQ(cmg("01", 510, 19, 50), "0102");
  EXPECT_EQ(cmg("01", 510, 18, 50), "0103");
  EXPECT_EQ(cmg("01", 445, 35, 50), "0102");
  EXPECT_EQ(cmg("01", 445, 5, 50), "0103");
  EXPECT_EQ(cmg("01", 444, 35, 50), "0104");
  EXPECT_EQ(cmg("01", 389, 5, 50), "0104");
  EXPECT_EQ(cmg("01", 388, 5, 50), "0105");
  EXPECT_EQ(cmg("01", 343, 5, 50), "0105");
  EXPECT_EQ(cmg("01", 342, 5, 50), "0106");
  EXPECT_EQ(cmg("01", 301, 5, 50), "0106");
  EXPECT_EQ(cmg("01", 300, 5, 50), "0107");
  EXPECT_EQ(cmg("01", 262, 5, 50), "0107");
  EXPECT_EQ(cmg("01", 261, 5, 85), "0108");
  EXPECT_EQ(cmg("01", 261, 5, 84), "0109");
  EXPECT_EQ(cmg("01", 224, 5, 84), "0109");
  EXPECT_EQ(cmg("01", 223, 5, 84), "0110");
  EXPECT_EQ(cmg("01", 223, 5, 85), "0108");
  EXPECT_EQ(cmg("01", 120, 5, 140), "0108");
  EXPECT_EQ(cmg("01", 120, 5, 0), "0110");
}

TEST(CmgLookup, Ric02CognitiveSplits) {
  EXPECT_EQ(cmg("02", 840, 24, 50), "0201");
  EXPECT_EQ(cmg("02", 534, 24, 50), "0201");
  EXPECT_EQ(cmg("02", 534, 23, 50), "0203");
  EXPECT_EQ(cmg("02", 533, 24, 50), "0202");
  EXPECT_EQ(cmg("02", 443, 35, 50), "0202");
  EXPECT_EQ(cmg("02", 443, 23, 50), "0203");
  EXPECT_EQ(cmg("02", 840, 5, 50), "0203");
  EXPECT_EQ(cmg("02", 442, 35, 50), "0204");
  EXPECT_EQ(cmg("02", 407, 5, 50), "0204");
  EXPECT_EQ(cmg("02", 406, 5, 50), "0205");
  EXPECT_EQ(cmg("02", 221, 5, 50), "0206");
  EXPECT_EQ(cmg("02", 220, 5, 50), "0207");
  EXPECT_EQ(cmg("02", 120, 5, 50), "0207");
}

TEST(CmgLookup, Ric04And08AgeSplits) {
  EXPECT_EQ(cmg("04", 840, 5, 50), "0401");
  EXPECT_EQ(cmg("04", 485, 5, 50), "0401");
  EXPECT_EQ(cmg("04", 484, 5, 50), "0402");
  EXPECT_EQ(cmg("04", 304, 5, 50), "0402");
  EXPECT_EQ(cmg("04", 303, 5, 50), "0403");
  EXPECT_EQ(cmg("04", 161, 5, 50), "0403");
  EXPECT_EQ(cmg("04", 160, 5, 64), "0404");
  EXPECT_EQ(cmg("04", 120, 5, 140), "0404");
  EXPECT_EQ(cmg("04", 160, 5, 63), "0405");
  EXPECT_EQ(cmg("04", 120, 5, 0), "0405");

  EXPECT_EQ(cmg("08", 840, 5, 50), "0801");
  EXPECT_EQ(cmg("08", 496, 5, 50), "0801");
  EXPECT_EQ(cmg("08", 495, 5, 50), "0802");
  EXPECT_EQ(cmg("08", 371, 5, 50), "0802");
  EXPECT_EQ(cmg("08", 370, 5, 84), "0803");
  EXPECT_EQ(cmg("08", 287, 5, 84), "0803");
  EXPECT_EQ(cmg("08", 370, 5, 83), "0804");
  EXPECT_EQ(cmg("08", 287, 5, 0), "0804");
  EXPECT_EQ(cmg("08", 286, 5, 84), "0805");
  EXPECT_EQ(cmg("08", 221, 5, 50), "0805");
  EXPECT_EQ(cmg("08", 220, 5, 50), "0806");
  EXPECT_EQ(cmg("08", 120, 5, 50), "0806");
}

TEST(CmgLookup, Ric21AndOutsideTheBox) {
  for (int motor : {120, 480, 840}) {
    for (int cog : {5, 35, 99}) EXPECT_EQ(cmg("21", motor, cog, 140), "2101");
  }
  for (const char* ric : {"01", "02", "08", "14", "21"}) {
    EXPECT_EQ(cmg(ric, 841, 20, 50), "none") << ric;
    EXPECT_EQ(cmg(ric, 119, 20, 50), "none") << ric;
  }
  EXPECT_EQ(cmg("01", 480, 36, 50), "none");  // cognitive band of 0102/0103
  EXPECT_EQ(cmg("03", 500, 36, 50), "0301");  // no cognitive bound there
  EXPECT_EQ(cmg("01", 200, 20, -1), "none");  // age band of 0110
  EXPECT_EQ(cmg("1", 480, 20, 50), "none");   // RIC text compared whole
}

// Every point of motor 120-840, cognitive 5-35 and age 0-140 falls in exactly
// one row of each RIC: a row typed wrong shows up as a gap or an overlap.
TEST(CmgTable, EachRicCoversTheBoxWithoutGapOrOverlap) {
  struct Bounds {
    int ric, motLo, motHi, cogLo, cogHi, ageLo, ageHi;
  };
  std::vector<Bounds> rows;
  for (int row = 1; row < kCmgRows; ++row) {
    const bool cogBound = CogLow[row][0] != ' ';
    const bool ageBound = AgeLow[row][0] != ' ';
    rows.push_back({std::atoi(RicCode[row]), std::atoi(MotLow[row]), std::atoi(MotHigh[row]),
                    cogBound ? std::atoi(CogLow[row]) : INT_MIN,
                    cogBound ? std::atoi(CogHigh[row]) : INT_MAX,
                    ageBound ? std::atoi(AgeLow[row]) : INT_MIN,
                    ageBound ? std::atoi(AgeHigh[row]) : INT_MAX});
  }
  for (int ric = 1; ric <= 21; ++ric) {
    for (int motor = 120; motor <= 840; ++motor) {
      for (int cog = 5; cog <= 35; ++cog) {
        for (int age : {0, 63, 64, 83, 84, 85, 140}) {
          int matches = 0;
          for (const Bounds& b : rows) {
            matches += b.ric == ric && motor >= b.motLo && motor <= b.motHi && cog >= b.cogLo &&
                       cog <= b.cogHi && age >= b.ageLo && age <= b.ageHi;
          }
          ASSERT_EQ(matches, 1) << "RIC " << ric << " motor " << motor << " cog " << cog << " age "
                                << age;
        }
      }
    }
  }
}

TEST(CmgTable, CodesStartWithTheirRic) {
  for (int row = 1; row < kCmgRows; ++row) {
    EXPECT_EQ(std::string(CMG[row]).substr(0, 2), RicCode[row]) << row;
  }
}

TEST(Result, NoCmgRowLeavesTheTierLetterAlone) {
  const Grouped g = group_record(RecordBuilder::valid().allMotor("09"));
  EXPECT_EQ(g.status, 0);
  EXPECT_EQ(g.motor, "108.0");
  EXPECT_EQ(g.cmg, "A");
  EXPECT_EQ(group_record(RecordBuilder::valid().allMotor("07").impairment("  09")).cmg, "A1401");
  EXPECT_EQ(group_record(RecordBuilder::valid().allMotor("  ").impairment("  13")).cmg, "A2004");
}

}  // namespace
}  // namespace cmg290::test
