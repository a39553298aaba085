// The quick forms of record intake and the version choice against the plain
// rules they stand for, over every case near their edges.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "checks_age.h"
#include "record_intake.h"

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

}  // namespace
}  // namespace cmg290::detail
