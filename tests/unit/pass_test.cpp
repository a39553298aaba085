// The grouping pass as a whole: record intake, reset of outputs, the two
// entries and the bounds of what is read.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "cmg290/cmg290.h"
#include "grouper/decimal.h"
#include "grouper/packed_code.h"
#include "grouping.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

TEST(FillData, CopiesByPositionAndTerminates) {
  char record[] = "ABCDEFGHIJ";
  char dst[8];
  std::memset(dst, 'x', sizeof dst);
  FillData(record, dst, 3, 4);
  EXPECT_STREQ(dst, "CDEF");
  FillData(record, dst, 1, 1);
  EXPECT_STREQ(dst, "A");
  // A zero byte is copied like any other character.
  char withZero[] = {'a', '\0', 'b', 'c'};
  FillData(withZero, dst, 1, 4);
  EXPECT_EQ(std::memcmp(dst, "a\0bc\0", 5), 0);
}

TEST(FillData, LengthBelowOneWritesNothing) {
  char record[] = "ABCDEFGHIJ";
  char area[8];
  std::memset(area, 'x', sizeof area);
  // destination points into the middle of `area`, so a byte written before
  // it shows up.
  for (int length : {0, -1, -5, INT_MIN}) {
    FillData(record, area + 4, 1, length);
    EXPECT_EQ(std::string(area, sizeof area), "xxxxxxxx") << length;
  }
}

TEST(TrimCmrbd, RemovesBlanksFromTheFirstEightCharacters) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {" J38.01 ", "J38.01"},   {"J3 8.01  ", "J38.01"}, {"        ", ""},
      {"A35.^^^^", "A35.^^^^"}, {"   ^    ", "^"},       {"12345678", "12345678"},
  };
  for (const Case& c : cases) {
    char code[16] = {};
    std::memcpy(code, c.in, std::strlen(c.in));
    Trim_CMRBD(code);
    EXPECT_STREQ(code, c.out) << '"' << c.in << '"';
  }
  // Characters after the eighth are not looked at.
  char code[16] = "1234567 9";
  Trim_CMRBD(code);
  EXPECT_STREQ(code, "1234567");
}

TEST(Outputs, ResetOnEveryCall) {
  // A grouped record, then rejections at each stage: nothing carries over.
  const RecordBuilder ok = RecordBuilder::valid().allMotor("07");
  const Grouped first = group_record(ok);
  ASSERT_EQ(first.cmg, "A0101");

  std::string rec = ok.str();
  char cmg[6], motor[7], tv[5], gv[5];
  int status, cog, age;
  ASSERT_EQ(CMG_290(rec.data(), cmg, &status, motor, &cog, &age, tv, gv), 0);
  rec = RecordBuilder::valid().id("BAD").versionDate("20100101");
  EXPECT_EQ(CMG_290(rec.data(), cmg, &status, motor, &cog, &age, tv, gv), 1);
  EXPECT_STREQ(cmg, "     ");
  EXPECT_STREQ(motor, " 0.0");
  EXPECT_EQ(cog, 0);
  EXPECT_EQ(age, 0);
  EXPECT_STREQ(tv, "    ");
  EXPECT_EQ(status, 1);

  rec = ok.str();
  ASSERT_EQ(CMG_290(rec.data(), cmg, &status, motor, &cog, &age, tv, gv), 0);
  rec = RecordBuilder::valid().impairment("  77");
  EXPECT_EQ(CMG_290(rec.data(), cmg, &status, motor, &cog, &age, tv, gv), 9);
  EXPECT_STREQ(cmg, "     ");
  EXPECT_STREQ(motor, " 0.0");
  EXPECT_EQ(cog, 0);
  EXPECT_EQ(age, 70);

  rec = RecordBuilder::valid().allMotor("01");
  EXPECT_EQ(CMG_290(rec.data(), cmg, &status, motor, &cog, &age, tv, gv), 0);
  EXPECT_EQ(status, 0);
  EXPECT_STREQ(motor, "12.0");
}

TEST(SafeEntry, SameResultsAsCmg290) {
  const RecordBuilder records[] = {
      RecordBuilder::valid(),
      RecordBuilder::valid().versionDate("20120101").allMotor("07"),
      RecordBuilder::valid().impairment("  99"),
      RecordBuilder::valid().id("X"),
      RecordBuilder::valid().birthDate("18000101"),
      RecordBuilder::valid().allMotor("-9"),
  };
  for (const RecordBuilder& b : records) group_both(b);
}

TEST(SafeEntry, ShortRecordsReadAsBlankPadded) {
  const std::string full = RecordBuilder::valid().str();
  // Cut just after the version date: comorbid slots 11-25 are missing.
  const Result cut = group(std::string_view(full).substr(0, 1003));
  EXPECT_EQ(cut.status, 0);
  EXPECT_STREQ(cut.cmg, "A0102");
  // Cut inside the version date: "2020" converts to a date before 2010.
  EXPECT_EQ(group(std::string_view(full).substr(0, 999)).status, 3);
  const Result empty = group(std::string_view());
  EXPECT_EQ(empty.status, 1);
  EXPECT_STREQ(empty.cmg, "     ");
  EXPECT_STREQ(empty.tableVersion, "    ");
  EXPECT_STREQ(empty.grouperVersion, "2.90");
  // Longer records: characters past position 1251 are ignored.
  EXPECT_STREQ(group(full + "IRF-PAI trailing junk").cmg, "A0102");
}

TEST(SafeEntry, StatusTextCoversEveryCode) {
  for (int code : {0, 1, 2, 3, 5, 6, 7, 9}) {
    EXPECT_STRNE(status_text(code), "unknown status") << code;
  }
  EXPECT_STREQ(status_text(4), "unknown status");
}

// A record of exactly 1251 bytes placed right before a page without access
// rights: reading one byte too far faults.
TEST(Bounds, NothingPastPosition1251IsRead) {
  const long page = sysconf(_SC_PAGESIZE);
  const std::size_t span = 2 * static_cast<std::size_t>(page);
  void* mem =
      mmap(nullptr, span + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
  char* base = static_cast<char*>(mem);
  ASSERT_EQ(mprotect(base + span, page, PROT_NONE), 0);
  char* record = base + span - kRecordLength;
  RecordBuilder b = RecordBuilder::valid().versionDate("20170101");
  for (int k = 1; k <= 25; ++k) b.comorbid(k, "ZZZ.9999");
  std::memcpy(record, b.str().data(), kRecordLength);

  char cmg[6], motor[7], tv[5], gv[5];
  int status, cog, age;
  EXPECT_EQ(CMG_290(record, cmg, &status, motor, &cog, &age, tv, gv), 0);
  EXPECT_STREQ(cmg, "A0102");
  EXPECT_EQ(group(std::string_view(record, kRecordLength)).status, 0);
  // The safe entry stays inside a shorter view too.
  EXPECT_EQ(group(std::string_view(base + span - 700, 700)).status, 1);
  munmap(mem, span + page);
}

}  // namespace
}  // namespace cmg290::test

namespace cmg290::detail {
namespace {

// The loop-free conversions used on the per-record path agree with the
// general ones on every input they can see.
TEST(FastPaths, ItemValueEqualsToIntForEveryTwoBytes) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const char item[3] = {static_cast<char>(a), static_cast<char>(b), '\0'};
      ASSERT_EQ(item_value(item), to_int(item)) << a << ' ' << b;
      ASSERT_EQ(item_value_fast(item), item_value(item)) << a << ' ' << b;
    }
  }
}

TEST(FastPaths, DateValueEqualsToLong) {
  for (int pos = 0; pos < 8; ++pos) {
    for (int byte = 0; byte < 256; ++byte) {
      char date[9] = "20170315";
      date[pos] = static_cast<char>(byte);
      std::uint64_t word;
      std::memcpy(&word, date, sizeof word);
      ASSERT_EQ(eight_digits(word), byte >= '0' && byte <= '9') << pos << ' ' << byte;
      ASSERT_EQ(date_value(date), to_long(date)) << pos << ' ' << byte;
    }
  }
}

TEST(FastPaths, PackCellEqualsPackCode) {
  const char* texts[] = {"", "A", "J38.01^^", "J38.4^^^", "042.", "\x80\xff", "12345678"};
  for (const char* t : texts) {
    for (int zeroAt = 0; zeroAt <= 8; ++zeroAt) {
      char cell[9];
      std::memset(cell, 'x', sizeof cell);
      std::memcpy(cell, t, std::strlen(t));
      cell[zeroAt] = '\0';
      cell[8] = '\0';
      ASSERT_EQ(pack_cell(cell), pack_code(cell)) << t << ' ' << zeroAt;
    }
  }
}

}  // namespace
}  // namespace cmg290::detail
