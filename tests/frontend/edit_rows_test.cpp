// The long form of a batch's edits against finding each record's edits
// alone, on several threads, with rows settled late; and fields by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "batch/edit_rows.h"
#include "batch/group_batch.h"
#include "batch/record_fields.h"
#include "batch_records.h"

namespace cmg290::test {
namespace {

struct Entry {
  std::size_t row;
  int id;
  int field;
  std::string value;
  std::string message;
  bool operator==(const Entry&) const = default;
};

Entry entry(std::size_t row, const Edit& e) {
  return {row, static_cast<int>(e.id), e.field, std::string(e.value_text()), edit_message(e)};
}

// Every record's edits found alone, one after the other.
std::vector<Entry> one_by_one(const std::vector<std::string>& records) {
  std::vector<Entry> out;
  for (std::size_t i = 0; i < records.size(); ++i) {
    Edits edits;
    find_edits(records[i], group(records[i]), edits);
    for (const Edit& e : edits) out.push_back(entry(i, e));
  }
  return out;
}

std::vector<Entry> entries(const batch::EditRows& rows) {
  std::vector<Entry> out;
  rows.each([&](const batch::RowEdit& e) { out.push_back(entry(e.row, e.edit)); });
  return out;
}

TEST(EditRows, ManyThreadsGiveEveryEditInRowOrderAsFoundAlone) {
  // More rows than a thread takes at once, so that batches finish out of order.
  const std::vector<std::string> records = batch_records(3 * batch::kBatchRows + 17);
  const std::vector<std::string_view> views(records.begin(), records.end());
  batch::RecordSource source;
  source.count = views.size();
  source.views = views.data();
  const std::vector<Entry> expected = one_by_one(records);
  ASSERT_GT(expected.size(), records.size()) << "the records hold many edits";
  for (int threads : {1, 3}) {
    batch::BatchSettings settings;
    settings.threads = threads;
    batch::EditRows rows(records.size());
    EXPECT_TRUE(batch::find_batch_edits(source, settings, rows).empty());
    rows.finish();
    EXPECT_EQ(rows.size(), expected.size()) << threads;
    EXPECT_TRUE(entries(rows) == expected) << threads;
  }
}

TEST(EditRows, RowsSettledLateTakeTheirPlaceInRowOrder) {
  const std::vector<std::string> records = batch_records(60);
  std::vector<std::string_view> views(records.begin(), records.end());
  std::vector<unsigned char> asciiOnly(records.size(), 1);
  std::vector<std::string> accented;
  for (std::size_t i : {std::size_t{5}, std::size_t{31}}) {
    accented.push_back(records[i]);
  }
  // Position 101 is no field's: the records keep their edits.
  accented[0][100] = static_cast<char>(0xC3);
  accented[1][100] = static_cast<char>(0xC3);
  views[5] = accented[0];
  views[31] = accented[1];
  batch::RecordSource source;
  source.count = views.size();
  source.views = views.data();
  source.asciiOnly = asciiOnly.data();
  batch::BatchSettings settings;
  settings.threads = 2;
  batch::EditRows rows(records.size());
  const std::vector<std::size_t> left = batch::find_batch_edits(source, settings, rows);
  ASSERT_EQ(left, (std::vector<std::size_t>{5, 31}));
  // Settled as the caller reads them, in an order of its own.
  std::vector<std::string> settled = records;
  settled[5][100] = 'X';
  settled[31][100] = 'X';
  batch::settle_edit_row(settled[31], settings, rows, 31);
  batch::settle_edit_row(settled[5], settings, rows, 5);
  rows.finish();
  const std::vector<Entry> expected = one_by_one(settled);
  auto edits_of = [&](std::size_t row) {
    return std::count_if(expected.begin(), expected.end(),
                         [&](const Entry& e) { return e.row == row; });
  };
  ASSERT_GT(edits_of(5), 0);
  ASSERT_GT(edits_of(31), 1);
  EXPECT_TRUE(entries(rows) == expected);
}

TEST(EditRows, NoRecordsNoEdits) {
  batch::RecordSource source;
  batch::EditRows rows(0);
  EXPECT_TRUE(batch::find_batch_edits(source, {}, rows).empty());
  rows.finish();
  EXPECT_EQ(rows.size(), 0u);
}

TEST(RecordFields, TheFieldAsItStandsAndWhatAShortRecordHoldsOfIt) {
  std::string record(kRecordLength, ' ');
  const FieldLayout& age = field_layout(FieldId::age_date);
  std::memcpy(&record[age.start - 1], "20240131", 8);
  const FieldLayout& group = field_layout(FieldId::impairment_group);
  std::memcpy(&record[group.start - 1], "05.1", 4);
  EXPECT_EQ(batch::field_text(record, age), "20240131");
  EXPECT_EQ(batch::field_text(record, group), "05.1     ") << "trailing blanks kept";
  EXPECT_EQ(batch::field_text(record, field_layout(FieldId::record_kind)), " ");
  EXPECT_EQ(batch::field_text(std::string_view(record).substr(0, age.start + 2), age), "202");
  EXPECT_EQ(batch::field_text(std::string_view(record).substr(0, age.start), age), "2");
  EXPECT_EQ(batch::field_text(std::string_view(record).substr(0, age.start - 1), age), "");
  EXPECT_EQ(batch::field_text({}, field_layout(FieldId::record_id)), "");
  const FieldLayout& last = kRecordLayout[kRecordFieldCount - 1];
  EXPECT_EQ(batch::field_text(record, last).size(), static_cast<std::size_t>(last.length));
}

TEST(RecordFields, NamesAreTheLayoutsOwnInTheOrderGiven) {
  const auto fields = batch::named_fields({"version_date", "record_id", "motor_item_12"});
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[0], &field_layout(FieldId::version_date));
  EXPECT_EQ(fields[1], &field_layout(FieldId::record_id));
  EXPECT_EQ(fields[2], &field_layout(FieldId::motor_item_12));
  EXPECT_TRUE(batch::named_fields({}).empty());
  try {
    batch::named_fields({"record_id", "age_dat"});
    FAIL() << "an unknown name is refused";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("\"age_dat\""), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("docs/reference/record-layout.md"), std::string::npos);
  }
  EXPECT_THROW(batch::named_fields({"age_date", "age_date"}), std::invalid_argument);
  EXPECT_THROW(batch::named_fields({"Age_Date"}), std::invalid_argument);
}

}  // namespace
}  // namespace cmg290::test
