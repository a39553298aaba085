// The keys of the batch engine's texts and edits: every text comes back
// from its key, keys are distinct, and what the keys do not hold is told
// apart.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "batch/edit_keys.h"
#include "batch/text_keys.h"
#include "batch_records.h"
#include "cmg290/status.h"
#include "cmg290/tables.h"

namespace cmg290::test {
namespace {

using batch::TextKey;

TEST(BatchKeys, EveryTextComesBackFromItsKey) {
  const batch::TextKeys& keys = batch::text_keys();
  EXPECT_LT(keys.size(), std::size_t{batch::kOddText});
  EXPECT_EQ(keys.text(batch::kNoText), "");

  for (int s = -2; s <= cmg290::highest_status_code() + 2; ++s) {
    EXPECT_EQ(keys.text(keys.description(s)), cmg290::status_text(s)) << s;
  }
  // CMG texts, each under a key of its own.
  std::set<TextKey> cmgKeys;
  int cmgs = 0;
  for (const char* tier : {"A", "B", "C", "D"}) {
    EXPECT_EQ(keys.text(keys.cmg(tier)), tier);
    for (int row = 1; row < kCmgRows; ++row) {
      const std::string text = tier + std::string(CMG[row]);
      if (text.size() != 5) continue;
      EXPECT_EQ(keys.text(keys.cmg(text.c_str())), text);
      cmgKeys.insert(keys.cmg(text.c_str()));
      ++cmgs;
    }
  }
  EXPECT_GT(cmgs, 4 * 50);
  std::set<std::string> cmgTexts;
  for (const TextKey k : cmgKeys) cmgTexts.emplace(keys.text(k));
  EXPECT_EQ(cmgTexts.size(), cmgKeys.size()) << "two keys hold the same CMG";
  EXPECT_EQ(keys.text(keys.grouper_version("2.90")), "2.90");
  EXPECT_EQ(keys.table_version("    "), batch::kNoText);
  const cmg290::Result r = cmg290::group(sample_records().front());
  EXPECT_EQ(keys.text(keys.table_version(r.tableVersion)), r.tableVersion);
}

TEST(BatchKeys, TextsTheKeysDoNotHoldAreOdd) {
  const batch::TextKeys& keys = batch::text_keys();
  for (const char* cmg : {"E1234", "a1234", "A123", "A12345", "A12x4", "", " "}) {
    EXPECT_EQ(keys.cmg(cmg), batch::kOddText) << cmg;
  }
  // A well-formed code that no CMG row has.
  for (int code = 0; code < 10000; code += 1111) {
    char text[6];
    std::snprintf(text, sizeof text, "A%04d", code);
    bool listed = false;
    for (int row = 1; row < kCmgRows; ++row) listed = listed || text + 1 == std::string(CMG[row]);
    if (!listed) {
      EXPECT_EQ(keys.cmg(text), batch::kOddText) << text;
    }
  }
  EXPECT_EQ(keys.table_version("9.99"), batch::kOddText);
  // A known label with more after it is not that label.
  const cmg290::Result r = cmg290::group(sample_records().front());
  EXPECT_EQ(keys.table_version((std::string(r.tableVersion) + "0").c_str()), batch::kOddText);
  EXPECT_EQ(keys.table_version("     "), batch::kOddText);
  EXPECT_EQ(keys.grouper_version("2.900"), batch::kOddText);
  EXPECT_EQ(keys.table_version(""), batch::kOddText);
  EXPECT_EQ(keys.grouper_version("2.9"), batch::kOddText);
  EXPECT_EQ(keys.grouper_version("    "), batch::kOddText);
}

cmg290::Edits edits_of(std::initializer_list<int> codes) {
  cmg290::Edits e;
  for (const int c : codes) e.items[e.count++].id = static_cast<cmg290::EditCode>(c);
  return e;
}

TEST(BatchKeys, EditKeysHoldUpToSixteenEditsInOrder) {
  EXPECT_EQ(batch::edit_key(cmg290::Edits{}), batch::kNoEdits);
  EXPECT_EQ(batch::edit_key_text(batch::kNoEdits), "");
  const int last = static_cast<int>(cmg290::kEditCount) - 1;
  for (const auto& e : {edits_of({0}), edits_of({last}), edits_of({last, 0, 1}), edits_of({1, 0}),
                        edits_of({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
                        edits_of({last, last, last, last, last, last, last, last, last, last, last,
                                  last, last, last, last, last})}) {
    const batch::EditKey key = batch::edit_key(e);
    EXPECT_NE(key, batch::kManyEdits);
    EXPECT_EQ(batch::edit_key_text(key), batch::edit_codes_text(e));
  }
  EXPECT_NE(batch::edit_key(edits_of({1, 0})), batch::edit_key(edits_of({0, 1})));
  EXPECT_NE(batch::edit_key(edits_of({0})), batch::edit_key(edits_of({0, 0})));
  EXPECT_EQ(batch::edit_key(edits_of({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
            batch::kManyEdits);
}

TEST(BatchKeys, ARecordOfManyEditsIsFoundAgainWhole) {
  const std::string record = many_edits_record();
  const cmg290::Result r = cmg290::group(record);
  cmg290::Edits edits;
  batch::find_record_edits(record, r, nullptr, edits);
  ASSERT_GT(edits.count, 16);
  EXPECT_EQ(batch::edit_key(edits), batch::kManyEdits);
  const std::string text = batch::edit_codes_text(edits);
  EXPECT_EQ(static_cast<int>(std::count(text.begin(), text.end(), ';')), edits.count - 1);
}

}  // namespace
}  // namespace cmg290::test
