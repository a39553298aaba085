// The quick forms of record intake and the version choice against the plain
// rules they stand for, over every case near their edges.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "cmg290/tier_tables.h"
#include "grouper/record_checks.h"
#include "grouper/record_intake.h"
#include "grouper/tier_search.h"
#include "tier_record.h"

namespace cmg290::detail {
namespace {

TEST(CopyField, EveryStartAndLengthAroundTheRecordsEnds) {
  const std::string record = "ABCDEFGHIJKLMNOP";
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{7}, record.size()}) {
    for (int start = -20; start <= 30; ++start) {
      for (int length = 1; length <= 20; ++length) {
        // Plain rule: position p (1-based) is the record's byte when the
        // record holds it, a blank otherwise.
        std::string expected;
        for (int i = 0; i < length; ++i) {
          const long long p = static_cast<long long>(start) + i;
          expected += p >= 1 && static_cast<std::size_t>(p) <= size ? record[p - 1] : ' ';
        }
        char dst[24];
        std::memset(dst, 'x', sizeof dst);
        copy_field(record.data(), size, dst, start, length);
        ASSERT_EQ(std::string(dst, length), expected) << size << ' ' << start << ' ' << length;
        ASSERT_EQ(dst[length], '\0');
        ASSERT_EQ(dst[length + 1], 'x') << "written past the terminator";
      }
    }
  }
}

TEST(ChooseVersion, EveryDateNearARangeBoundFallsWhereTheRangesSay) {
  struct Range {
    std::int64_t from, to;
    TableVersion version;
  };
  const Range ranges[] = {
      {20100701, 20100930, TableVersion::V240}, {20101001, 20110930, TableVersion::V250},
      {20111001, 20140930, TableVersion::V260}, {20141001, 20150930, TableVersion::V270},
      {20151001, 20160930, TableVersion::V282}, {20161001, INT64_MAX, TableVersion::V290}};
  auto plain = [&](std::int64_t date) {
    for (const Range& r : ranges) {
      if (date >= r.from && date <= r.to) return r.version;
    }
    return TableVersion::None;
  };
  for (const Range& r : ranges) {
    for (std::int64_t bound : {r.from, r.to}) {
      if (bound == INT64_MAX) continue;
      for (std::int64_t d = bound - 80; d <= bound + 80; ++d) {
        ASSERT_EQ(choose_version(d), plain(d)) << d;
      }
    }
  }
  for (std::int64_t d :
       {std::int64_t{0}, std::int64_t{-20161001}, INT64_MIN, INT64_MAX, std::int64_t{99999999}}) {
    EXPECT_EQ(choose_version(d), plain(d)) << d;
  }
}

// Dates of eight digits take the age from their values' difference; the
// plain rule compares years, then months, then days, for any two digits of
// month and day, calendar-impossible ones included.
TEST(ComputeAge, EightDigitDatesFollowTheYearMonthDayRule) {
  const int parts[] = {0, 1, 2, 6, 9, 10, 12, 13, 15, 28, 31, 32, 59, 98, 99};
  const int years[][2] = {{2020, 1950}, {2020, 2019}, {2020, 2020}, {2020, 2021}, {1, 0}};
  auto date = [](int y, int m, int d) {
    char text[9];
    std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
    return std::string(text);
  };
  Fields f{};
  for (const auto& [atYear, birthYear] : years) {
    for (int am : parts) {
      for (int ad : parts) {
        for (int bm : parts) {
          for (int bd : parts) {
            std::memcpy(f.ageDate, date(atYear, am, ad).c_str(), 9);
            std::memcpy(f.birthDate, date(birthYear, bm, bd).c_str(), 9);
            const bool beforeBirthday = am < bm || (am == bm && ad < bd);
            ASSERT_EQ(compute_age(f), atYear - birthYear - (beforeBirthday ? 1 : 0))
                << f.ageDate << ' ' << f.birthDate;
          }
        }
      }
    }
  }
}

// The pass reads the comorbid slots in place, untrimmed, skipping blank
// ones; the tier must be the one of the trimmed list. Slots are drawn from
// table codes (whole, with blanks after, before or inside them), "^"
// fillers, blanks, zero bytes and arbitrary characters.
TEST(TierFromRecord, EqualsTheTierOfTheTrimmedList) {
  std::mt19937 rnd(290);
  auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
  auto table_code = [&]() -> std::string {
    switch (pick(5)) {
      case 0:
        return CmdICD240[1 + pick(kCmd240Rows - 1)];
      case 1:
        return CmdICD260[1 + pick(kCmd260Rows - 1)];
      case 2:
        return CmdICD290s1[1 + pick(kCmd290s1Rows - 1)];
      case 3:
        return CmdICD290c1[1 + pick(kCmdPairRows - 1)];
      default:
        return CmdICD290c2[1 + pick(kCmdPairRows - 1)];
    }
  };
  auto slot_text = [&]() -> std::string {
    std::string code = table_code();
    switch (pick(10)) {
      case 0:
        return "";
      case 1:
        return "^^^^^^^^";
      case 2:
        return " " + code;
      case 3:
        return code.empty() ? code : code.insert(pick(static_cast<int>(code.size())), " ");
      case 4:
        return code.empty() ? code : code.insert(pick(static_cast<int>(code.size())), 1, '\0');
      case 5: {
        std::string any(8, ' ');
        for (char& c : any) c = static_cast<char>(pick(256));
        return any;
      }
      case 6:  // blanks but one character: a filled slot
        return std::string(pick(8), ' ') + static_cast<char>(pick(256));
      default:
        return code;
    }
  };
  const TableVersion versions[] = {TableVersion::V240, TableVersion::V250, TableVersion::V260,
                                   TableVersion::V270, TableVersion::V282, TableVersion::V290,
                                   TableVersion::None};
  const char* rics[] = {"01", "03", "05", "14", "15", "20"};
  std::string record(kRecordLength, ' ');
  for (int n = 0; n < 200000; ++n) {
    for (int k = 0; k < kComorbidSlots; ++k) {
      std::string text = slot_text();
      text.resize(8, ' ');
      record.replace(kComorbidStart[k] - 1, 8, text);
    }
    // Most records hold a few codes and blank slots after them.
    for (int k = 1 + pick(25); k < kComorbidSlots && pick(4) != 0; ++k) {
      record.replace(kComorbidStart[k] - 1, 8, 8, ' ');
    }
    const TableVersion v = versions[pick(7)];
    const char* ric = rics[pick(6)];
    ASSERT_EQ(test::searched_letter(v, ric, record), test::walked_letter(v, ric, record)) << n;
  }
}

}  // namespace
}  // namespace cmg290::detail
