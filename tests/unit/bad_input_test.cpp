// Records no caller should send: zero bytes, bytes outside ASCII, control
// characters, impossible dates, item values far outside 0 to 7, random
// bytes. Each still ends with a known status and well-formed outputs, the
// same through both entries.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "cmg290/cmg290.h"
#include "grouping.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

using namespace std::string_literals;

Grouped both(const std::string& record) {
  return group_both(record);
}

TEST(BadInput, ZeroBytesAreCharactersThatEndAFieldsText) {
  const Grouped plain = both(valid());
  // Outside every field, and before fields that are still read.
  EXPECT_EQ(both(valid().at(12, "\0\0\0"s)).cmg, plain.cmg);
  const Grouped early = both(valid().id("\0IRF-PAI"s));
  EXPECT_EQ(early.status, 1);
  EXPECT_EQ(early.tableVersion, "2.90") << "the version date after the zero byte is read";
  // Inside a field, a zero byte ends the field's text: what follows it is
  // not compared.
  EXPECT_EQ(both(valid().id("IRF-PAI\0XY"s)).status, 0);
  EXPECT_EQ(both(valid().impairment("  01.1\0ZZ"s)).cmg, plain.cmg);
  EXPECT_EQ(both(valid().versionDate("20120101").comorbid(1, "478.6\0zz"s)).cmg[0], 'B');
  // In a number it ends the digits: no digits before it read as 0.
  EXPECT_EQ(both(valid().motor(3, "\0007"s)).motor, both(valid().motor(3, "x7")).motor);
}

TEST(BadInput, BytesOutsideAsciiAndControlCharactersAreCharacters) {
  EXPECT_EQ(both(valid().id("IRF-PA\xc3\x8d")).status, 1);
  EXPECT_EQ(both(valid().impairment("  01.1\xe9")).status, 9);
  // (Octal escapes: \377 is the byte 0xff, \200 the byte 0x80.)
  EXPECT_EQ(both(valid().versionDate("\3770170101")).status, 3);
  EXPECT_EQ(both(valid().motor(3, "\2007")).motor, both(valid().motor(3, "x7")).motor);
  EXPECT_EQ(both(valid().versionDate("20170101").comorbid(1, "Z99.2^^\xff")).cmg[0], 'A');
  // White space before the digits of a number is skipped, a carriage return
  // and a tab included; inside the record id and the codes it is a
  // character like any other.
  EXPECT_EQ(both(valid().allMotor("\r7")).motor, both(valid().allMotor(" 7")).motor);
  EXPECT_EQ(both(valid().allMotor("\t7")).motor, both(valid().allMotor(" 7")).motor);
  EXPECT_EQ(both(valid().id("IRF-PAI\r")).status, 1);
  EXPECT_EQ(both(valid().versionDate("20170101").comorbid(1, "Z99.2^^\r")).cmg[0], 'A');
  EXPECT_EQ(both(valid().versionDate("20170101").comorbid(1, "Z99.2^^^")).cmg[0], 'B');
  // Every byte 0xff.
  const Grouped ff = both(std::string(kRecordLength, '\xff'));
  EXPECT_EQ(ff.status, 1);
  EXPECT_EQ(ff.tableVersion, "    ");
}

TEST(BadInput, ImpossibleDatesAreTakenAsNumbers) {
  // Month 13 and day 32 are compared as the numbers they are.
  EXPECT_EQ(both(valid().birthDate("19501332").ageDate("20201331")).age, 69);
  EXPECT_EQ(both(valid().birthDate("19500101").ageDate("20201399")).age, 70);
  EXPECT_EQ(both(valid().birthDate("19509999").ageDate("20200101")).age, 69);
  EXPECT_EQ(both(valid().versionDate("20171399")).tableVersion, "2.90");
  EXPECT_EQ(both(valid().versionDate("99999999")).tableVersion, "2.90");
  // All zeros: a version date of 0 is too early, a birth in year 0 too old,
  // an age date of 0 before the birth.
  const Grouped zeroVersion = both(valid().versionDate("00000000"));
  EXPECT_EQ(zeroVersion.status, 3);
  EXPECT_EQ(zeroVersion.tableVersion, "    ");
  const Grouped zeroBirth = both(valid().birthDate("00000000"));
  EXPECT_EQ(zeroBirth.status, 7);
  EXPECT_EQ(zeroBirth.age, 2020);
  EXPECT_EQ(both(valid().ageDate("00000000")).status, 6);
  EXPECT_EQ(both(valid().birthDate("00000000").ageDate("00000000")).age, 0);
  // A birth date in the future.
  EXPECT_EQ(both(valid().birthDate("30000101")).status, 6);
}

TEST(BadInput, ItemsFarOutsideZeroToSevenStillGroup) {
  // The widest two-character values: every CMG row is missed and the result
  // is the tier letter alone, with scores that still fit their outputs.
  const Grouped high = both(valid().allMotor("99").allCognitive("99"));
  EXPECT_EQ(high.status, 0);
  EXPECT_EQ(high.cmg, "A");
  EXPECT_EQ(high.motor, "1188.0");
  EXPECT_EQ(high.cognitive, 495);
  const Grouped low = both(valid().allMotor("-9").allCognitive("-9"));
  EXPECT_EQ(low.status, 0);
  EXPECT_EQ(low.cmg, "A");
  EXPECT_EQ(low.motor, "-108.0");
  EXPECT_EQ(low.cognitive, -45);
  // Negative items inside an otherwise ordinary record pull the sum down
  // into the table.
  const Grouped mixed = both(valid().allMotor("07").motor(1, "-9").motor(2, "-9"));
  EXPECT_EQ(mixed.status, 0);
  EXPECT_EQ(mixed.cmg.size(), 5u);
}

TEST(BadInput, RecordsOfMegabytesAreReadToPosition1251) {
  const Grouped plain = both(valid());
  std::string huge = valid().str() + std::string(8 << 20, '7');
  EXPECT_EQ(both(huge).cmg, plain.cmg);
  huge.replace(kRecordLength, 7, "IRF-PAI");
  EXPECT_EQ(both(huge).cmg, plain.cmg);
}

// Records of random bytes and random length, some starting as groupable
// records: a known status and the same outputs through both entries.
TEST(BadInput, RandomBytesGiveAKnownStatus) {
  std::mt19937 rng(290);
  const std::string good = valid().str();
  int grouped = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string record(rng() % 1600, ' ');
    for (char& c : record) c = static_cast<char>(rng());
    if (i % 2 == 0) {
      // A groupable record with a random span written over.
      record = good;
      const std::size_t at = rng() % good.size(), len = 1 + rng() % 40;
      for (std::size_t k = at; k < std::min(good.size(), at + len); ++k) {
        record[k] = static_cast<char>(rng());
      }
      record.resize(rng() % 1400, ' ');
    }
    const Grouped g = both(record);
    const int s = g.status;
    ASSERT_TRUE(s == 0 || s == 1 || s == 2 || s == 3 || s == 5 || s == 6 || s == 7 || s == 9) << g;
    ASSERT_EQ(g.result, g.status);
    ASSERT_EQ(g.grouperVersion, "2.90");
    grouped += g.status == 0;
  }
  EXPECT_GT(grouped, 1000);
}

}  // namespace
}  // namespace cmg290::test
