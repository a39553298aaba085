// The columns a caller groups its results by: each record's id, cut on the
// grouping threads as `cmg290 group --id` cuts it, and the CMG's tier
// letter and RIC under keys of their own, each key within its column's
// range (a front end's categories).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "batch/edit_rows.h"
#include "batch/group_batch.h"
#include "batch_records.h"
#include "cmg290/tables.h"
#include "record_id.h"

namespace cmg290::test {
namespace {

using batch::KeyRange;
using batch::TextKey;

bool within(TextKey key, KeyRange r) {
  return key >= r.first && key < r.first + r.count;
}

std::vector<std::string> texts_of(KeyRange r) {
  std::vector<std::string> out;
  for (int k = r.first; k < r.first + r.count; ++k) {
    out.emplace_back(batch::text_keys().text(static_cast<TextKey>(k)));
  }
  return out;
}

TEST(BatchColumns, TierAndRicAreTheCmgsLetterAndFirstTwoDigits) {
  const batch::TextKeys& keys = batch::text_keys();
  std::set<std::string> rics;
  for (const char* tier : {"A", "B", "C", "D"}) {
    EXPECT_EQ(keys.text(keys.tier(tier)), tier);
    EXPECT_EQ(keys.ric(tier), batch::kNoText) << "a tier letter alone has no RIC";
    for (int row = 1; row < kCmgRows; ++row) {
      const std::string cmg = tier + std::string(CMG[row]);
      if (cmg.size() != 5) continue;
      EXPECT_EQ(keys.text(keys.tier(cmg.c_str())), tier);
      EXPECT_EQ(keys.text(keys.ric(cmg.c_str())), cmg.substr(1, 2)) << cmg;
      EXPECT_TRUE(within(keys.cmg(cmg.c_str()), keys.cmgs())) << cmg;
      rics.insert(cmg.substr(1, 2));
    }
  }
  EXPECT_EQ(texts_of(keys.tiers()), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(texts_of(keys.rics()), std::vector<std::string>(rics.begin(), rics.end()));
  EXPECT_GT(rics.size(), 15u);
  for (const char* odd : {"E0101", "a0101", "Ax101", "A9901"}) {
    EXPECT_EQ(keys.ric(odd), batch::kOddText) << odd;
  }
  EXPECT_EQ(keys.tier("E0101"), batch::kOddText);
}

TEST(BatchColumns, EveryColumnsRangeHoldsItsKeysAndNoOthers) {
  const batch::TextKeys& keys = batch::text_keys();
  const KeyRange ranges[] = {keys.descriptions(), keys.table_versions(), keys.grouper_versions(),
                             keys.cmgs(), keys.rics()};
  // Back to back, from the first key after kNoText to the last.
  int next = batch::kNoText + 1;
  for (const KeyRange& r : ranges) {
    EXPECT_EQ(r.first, next);
    EXPECT_GT(r.count, 0);
    next = r.first + r.count;
  }
  EXPECT_EQ(static_cast<std::size_t>(next), keys.size());
  EXPECT_TRUE(within(keys.description(-1), keys.descriptions()));
  EXPECT_TRUE(within(keys.grouper_version("2.90"), keys.grouper_versions()));
  EXPECT_EQ(keys.tiers().first, keys.cmgs().first);
}

TEST(BatchColumns, IdsTierAndRicOfEveryRowOnManyThreads) {
  std::vector<std::string> records = batch_records(3 * 4096 + 5);
  records[7].resize(13);  // ends within the id
  records[8].resize(5);   // ends before it
  records[9].replace(12, 3, std::string("\0\xe9,", 3));
  const std::vector<std::string_view> views(records.begin(), records.end());
  batch::RecordSource source;
  source.count = views.size();
  source.views = views.data();
  const std::size_t n = records.size();
  const cli::IdRange range{11, 10};
  std::string ids(n * range.length, '?');
  std::vector<TextKey> cmg(n), tier(n), ric(n);
  batch::BatchColumns c;
  c.cmg = cmg.data();
  c.tier = tier.data();
  c.ric = ric.data();
  c.id = {ids.data(), range};
  batch::BatchSettings settings;
  settings.threads = 3;
  batch::group_batch(source, settings, c);

  const batch::TextKeys& keys = batch::text_keys();
  int grouped = 0, ungrouped = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::string expected = records[i].size() > 11 ? records[i].substr(11, 10) : "";
    expected.resize(10, ' ');
    ASSERT_EQ(ids.substr(i * 10, 10), expected) << i;
    const std::string_view text = keys.text(cmg[i]);
    if (cmg[i] == batch::kNoText) {
      ASSERT_EQ(tier[i], batch::kNoText) << i;
      ASSERT_EQ(ric[i], batch::kNoText) << i;
      ++ungrouped;
      continue;
    }
    ++grouped;
    ASSERT_EQ(keys.text(tier[i]), text.substr(0, 1)) << i;
    ASSERT_EQ(keys.text(ric[i]), text.size() == 5 ? text.substr(1, 2) : "") << i;
  }
  EXPECT_GT(grouped, 100);
  EXPECT_GT(ungrouped, 100);
  EXPECT_EQ(ids.substr(7 * 10, 10), records[7].substr(11, 2) + std::string(8, ' '));
  EXPECT_EQ(ids.substr(8 * 10, 10), std::string(10, ' '));
  EXPECT_EQ(ids.substr(9 * 10 + 1, 4), std::string("\0\xe9,", 3) + records[9][15]);
}

TEST(BatchColumns, EditsInLongFormNoteEachRecordsId) {
  const std::vector<std::string> records = batch_records(4096 + 9);
  const std::vector<std::string_view> views(records.begin(), records.end());
  batch::RecordSource source;
  source.count = views.size();
  source.views = views.data();
  const cli::IdRange range{0, 7};
  std::string ids(records.size() * range.length, '?');
  batch::BatchSettings settings;
  settings.threads = 2;
  batch::EditRows rows(records.size());
  EXPECT_TRUE(batch::find_batch_edits(source, settings, rows, {ids.data(), range}).empty());
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_EQ(ids.substr(i * 7, 7), records[i].substr(0, 7)) << i;
  }
  // A row settled on the caller's thread notes its id too.
  batch::settle_edit_row("ABC", settings, rows, 1, {ids.data(), range});
  EXPECT_EQ(ids.substr(7, 7), "ABC    ");
}

TEST(BatchColumns, IdRangesAsTheCommandChecksThem) {
  EXPECT_EQ(cli::check_id_range(1, 1, 1024, 1251), "");
  EXPECT_EQ(cli::check_id_range(1251, 1, 1024, 1251), "");
  EXPECT_EQ(cli::check_id_range(228, 1024, 1024, 1251), "");
  for (const auto& [start, length] : {std::pair<std::size_t, std::size_t>{0, 5},
                                      {1, 0},
                                      {1252, 1},
                                      {1251, 2},
                                      {1, 1025},
                                      {229, 1024}}) {
    EXPECT_NE(cli::check_id_range(start, length, 1024, 1251), "") << start << ":" << length;
  }
}

}  // namespace
}  // namespace cmg290::test
