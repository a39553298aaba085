// The published record layout against what the grouper reads, and records
// built from named fields.
#include "cmg290/record_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmg290/explain.h"
#include "cmg290/record_builder.h"
#include "sample_records.h"

namespace cmg290::test {
namespace {

std::string field_of(const std::string& record, const FieldLayout& f) {
  std::string padded = record;
  padded.resize(kRecordLength, ' ');
  return padded.substr(static_cast<std::size_t>(f.start - 1), static_cast<std::size_t>(f.length));
}

// A record whose every position holds a different pattern of bytes: each
// field the grouper reads must be exactly the layout's positions.
TEST(RecordLayout, EveryFieldIsReadFromItsPositions) {
  std::string record(kRecordLength, ' ');
  for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<char>('!' + i % 90);
  const Explanation e = explain(record);
  ASSERT_EQ(e.fields.size(), kRecordFieldCount);
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    EXPECT_EQ(e.fields[i].layout, &kRecordLayout[i]);
    EXPECT_EQ(e.fields[i].text, field_of(record, kRecordLayout[i])) << kRecordLayout[i].name;
  }
}

TEST(RecordLayout, NamesFollowTheFieldsInOrder) {
  EXPECT_EQ(kRecordLayout[0].name, "record_id");
  EXPECT_EQ(field_layout(FieldId::comorbid_code_11).name, "comorbid_code_11");
  EXPECT_EQ(field_layout(FieldId::comorbid_code_11).start, 1132);
  EXPECT_EQ(field_layout(FieldId::motor_item_11).start, 948);
  EXPECT_EQ(find_field("version_date")->start, 996);
  EXPECT_EQ(find_field("cognitive_item_6"), nullptr);
}

TEST(RecordBuilder, ValuesLeftAlignedAndBlankFilled) {
  const BuiltRecord b = build_record({{"record_id", "IRF-PAI"}, {"impairment_group", "  01.1"}});
  ASSERT_TRUE(b.ok()) << b.error;
  ASSERT_EQ(b.record.size(), kRecordLength);
  EXPECT_EQ(b.record.substr(0, 10), "IRF-PAI   ");
  EXPECT_EQ(b.record.substr(719, 9), "  01.1   ");
  EXPECT_EQ(b.record.find_first_not_of(' ', 10), 721u);  // all else blank
  EXPECT_EQ(build_record({}).record, std::string(kRecordLength, ' '));
  // Any bytes, a field filled to its last position.
  const BuiltRecord bytes = build_record(
      {{"record_kind", std::string_view("\0", 1)}, {"comorbid_code_25", "\xff\x80 ^1234"}});
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(bytes.record[10], '\0');
  EXPECT_EQ(bytes.record.substr(1243), "\xff\x80 ^1234");
}

TEST(RecordBuilder, RefusesUnknownRepeatedAndTooLong) {
  const BuiltRecord unknown = build_record({{"record_id", "IRF-PAI"}, {"motor_item_13", "1"}});
  EXPECT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.error, "unknown field \"motor_item_13\"");
  EXPECT_TRUE(unknown.record.empty());
  EXPECT_EQ(build_record({{"age_date", "1"}, {"age_date", "2"}}).error,
            "field age_date given twice");
  EXPECT_EQ(build_record({{"birth_date", "195003101"}}).error,
            "value of birth_date has 9 characters, the field holds 8");
  EXPECT_TRUE(build_record({{"birth_date", "19500310"}}).ok());
}

// Every field of every sample record, read through the layout and built
// again, gives back the record's own bytes and the same grouping.
TEST(RecordBuilder, RoundTripOfEverySampleRecord) {
  const std::vector<std::string> records = sample_records();
  ASSERT_GE(records.size(), 30u);
  for (const std::string& record : records) {
    std::vector<std::string> texts;
    for (const FieldLayout& f : kRecordLayout) texts.push_back(field_of(record, f));
    std::vector<FieldValue> values;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
      values.push_back({kRecordLayout[i].name, texts[i]});
    }
    const BuiltRecord built = build_record(values);
    ASSERT_TRUE(built.ok()) << built.error;
    for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
      EXPECT_EQ(field_of(built.record, kRecordLayout[i]), texts[i]) << kRecordLayout[i].name;
    }
    const Result a = group(record), b = group(built.record);
    EXPECT_EQ(a.status, b.status);
    EXPECT_STREQ(a.cmg, b.cmg);
    EXPECT_STREQ(a.motorScore, b.motorScore);
  }
}

}  // namespace
}  // namespace cmg290::test
