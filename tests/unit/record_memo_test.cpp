// The extension's last-record memo: a record that differs from the kept one
// at any position the grouper reads is never taken for it.
#include "memo/record_memo.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cmg290/record_layout.h"
#include "grouping.h"
#include "sample_records.h"

namespace cmg290::test {
namespace {

std::vector<bool> read_positions() {
  std::vector<bool> read(kRecordLength, false);
  for (const FieldLayout& f : kRecordLayout)
    for (int p = f.start; p <= f.end(); ++p) read[static_cast<std::size_t>(p - 1)] = true;
  return read;
}

bool finds(const pg::RecordMemo& memo, const std::string& record) {
  Result out{};
  return memo.find(record.data(), record.size(), &out);
}

// What the memo relies on: bytes that no field covers never change a result.
TEST(RecordMemo, BytesOutsideTheFieldsNeverChangeAResult) {
  const std::vector<bool> read = read_positions();
  std::mt19937 random(7);
  for (const std::string& record : sample_records()) {
    std::string noisy = record;
    noisy.resize(kRecordLength, ' ');
    for (std::size_t p = 0; p < kRecordLength; ++p)
      if (!read[p]) noisy[p] = static_cast<char>(random());
    std::ostringstream a, b;
    a << group_record(noisy);
    b << group_record(record);
    EXPECT_EQ(a.str(), b.str()) << record.substr(0, 40);
  }
}

// Both widths of compare: the wider one is taken wherever the processor
// allows, so the narrower one is checked here by name.
class RecordMemoCompare : public ::testing::TestWithParam<pg::RecordMemo::Compare> {};

INSTANTIATE_TEST_SUITE_P(Widths, RecordMemoCompare,
                         ::testing::Values(pg::RecordMemo::Compare::Widest,
                                           pg::RecordMemo::Compare::Narrow));

TEST_P(RecordMemoCompare, AChangeAtAnyReadPositionIsAnotherRecord) {
  const std::vector<bool> read = read_positions();
  const std::string record = sample_records().front();
  ASSERT_GE(record.size(), kRecordLength);
  Result kept = group(record);
  pg::RecordMemo memo(GetParam());
  memo.keep(record.data(), record.size(), kept);
  Result out{};
  ASSERT_TRUE(memo.find(record.data(), record.size(), &out));
  EXPECT_EQ(std::string(out.cmg), kept.cmg);
  for (std::size_t p = 0; p < kRecordLength; ++p) {
    std::string changed = record;
    changed[p] = static_cast<char>(changed[p] ^ 0x40);
    if (read[p]) {
      EXPECT_FALSE(finds(memo, changed)) << "position " << p + 1;
    }
  }
  // Far from every field: not even compared.
  std::string unread = record;
  unread[100] = '#';
  EXPECT_TRUE(finds(memo, unread));
  // Past position 1251 nothing is read.
  EXPECT_TRUE(finds(memo, record + "more"));
  memo.forget();
  EXPECT_FALSE(finds(memo, record));
}

// Shorter records read blanks past their end: their length counts, and so
// does every byte they hold.
TEST_P(RecordMemoCompare, ShortRecordsMatchOnlyWhole) {
  const std::string record = sample_records().front().substr(0, 1000);
  pg::RecordMemo memo(GetParam());
  memo.keep(record.data(), record.size(), group(record));
  EXPECT_TRUE(finds(memo, record));
  EXPECT_FALSE(finds(memo, record.substr(0, 999)));
  EXPECT_FALSE(finds(memo, record + " "));
  std::string changed = record;
  changed[100] = '#';
  EXPECT_FALSE(finds(memo, changed));
  memo.keep("", 0, group(""));
  EXPECT_TRUE(finds(memo, ""));
  EXPECT_FALSE(finds(memo, " "));
}

}  // namespace
}  // namespace cmg290::test
