// The batch engine: the arrays it fills on many threads against one thread
// and against grouping each record alone, the sources it reads, and the
// rows it leaves to the caller.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch/group_batch.h"
#include "batch_arrays.h"
#include "batch_records.h"
#include "cmg290/status.h"

namespace cmg290::test {
namespace {

using batch::EditKey;
using batch::TextKey;

batch::RecordSource view_source(const std::vector<std::string_view>& views) {
  batch::RecordSource source;
  source.count = views.size();
  source.views = views.data();
  return source;
}

std::vector<std::string_view> views_of(const std::vector<std::string>& records) {
  return {records.begin(), records.end()};
}

Arrays group_all(const batch::RecordSource& source, int threads, bool edits = true,
                 batch::RowSink* sink = nullptr) {
  Arrays a(source.count);
  batch::BatchSettings settings;
  settings.threads = threads;
  settings.edits = edits;
  batch::group_batch(source, settings, a.columns(), sink);
  return a;
}

TEST(BatchEngine, ManyThreadsFillTheSameArraysAsOneAndHandEveryRowOverInOrder) {
  // Several batches of rows per thread, the last one short.
  const std::vector<std::string> records = batch_records(5 * 4096 + 77);
  const std::vector<std::string_view> views = views_of(records);
  const Arrays one = group_all(view_source(views), 1);
  NotingSink sink;
  const Arrays many = group_all(view_source(views), 4, true, &sink);
  EXPECT_TRUE(one == many);
  ASSERT_EQ(sink.seen.size(), records.size());
  for (std::size_t i = 0; i < sink.seen.size(); ++i) ASSERT_EQ(sink.seen[i], i);
}

TEST(BatchEngine, EachRowHoldsWhatGroupingItsRecordAloneGives) {
  const std::vector<std::string> records = batch_records(300);
  const std::vector<std::string_view> views = views_of(records);
  const Arrays a = group_all(view_source(views), 2);
  const batch::TextKeys& keys = batch::text_keys();
  int grouped = 0, notGrouped = 0, manyEdits = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    const cmg290::Result r = cmg290::group(records[i]);
    ASSERT_EQ(a.status[i], r.status);
    EXPECT_EQ(keys.text(a.description[i]), cmg290::status_text(r.status));
    EXPECT_EQ(keys.text(a.grouperVersion[i]), r.grouperVersion);
    EXPECT_EQ(a.tableVersion[i] == batch::kNoText ? std::string("    ")
                                                  : std::string(keys.text(a.tableVersion[i])),
              r.tableVersion);
    if (cmg290::reaches_cmg_and_scores(r.status)) {
      ++grouped;
      EXPECT_EQ(keys.text(a.cmg[i]), r.cmg);
      EXPECT_EQ(a.motor[i], std::stod(r.motorScore));
      EXPECT_EQ(a.cognitive[i], r.cognitiveScore);
    } else {
      ++notGrouped;
      EXPECT_EQ(a.cmg[i], batch::kNoText);
      EXPECT_EQ(a.motor[i], -1.5);
      EXPECT_EQ(a.cognitive[i], -1);
    }
    EXPECT_EQ(a.age[i], cmg290::reaches_age(r.status) ? r.age : -1);
    cmg290::Edits edits;
    cmg290::find_edits(records[i], r, edits);
    if (edits.count > 16) {
      ++manyEdits;
      EXPECT_EQ(a.edits[i], batch::kManyEdits);
    } else {
      EXPECT_EQ(batch::edit_key_text(a.edits[i]), batch::edit_codes_text(edits));
    }
  }
  EXPECT_GT(grouped, 0);
  EXPECT_GT(notGrouped, 0);
  EXPECT_GT(manyEdits, 0);
}

TEST(BatchEngine, MissingValuesGoToTheMasksAndWideColumns) {
  const std::vector<std::string> records = {sample_records().front(), "short"};
  const std::vector<std::string_view> views = views_of(records);
  std::vector<std::int64_t> status(2), cognitive(2), age(2);
  Arrays a(2, true);
  batch::BatchColumns c = a.columns();
  c.status = {status.data(), true};
  c.cognitiveScore = {cognitive.data(), true};
  c.age = {age.data(), true};
  c.missingInt = 0;
  batch::group_batch(view_source(views), {}, c);
  const cmg290::Result r = cmg290::group(records[0]);
  ASSERT_TRUE(cmg290::reaches_cmg_and_scores(r.status));
  EXPECT_EQ(status[0], r.status);
  EXPECT_EQ(cognitive[0], r.cognitiveScore);
  EXPECT_EQ(age[0], r.age);
  EXPECT_EQ(a.cognitiveMissing, (std::vector<unsigned char>{0, 1}));
  EXPECT_EQ(a.ageMissing, (std::vector<unsigned char>{0, 1}));
  EXPECT_EQ(status[1], cmg290::group(records[1]).status);
  EXPECT_EQ(cognitive[1], 0);
  EXPECT_EQ(age[1], 0);
  // Edits were not asked for: the column is left as it was.
  EXPECT_EQ(a.edits, (std::vector<EditKey>{0, 0}));
}

TEST(BatchEngine, BlocksAreReadAsNumPyReadsTheirItems) {
  const std::string record = sample_records().front();
  // Bytes: zero bytes at an item's end are not part of it, and an item
  // longer than a record keeps its first kRecordLength bytes.
  const std::size_t item = kRecordLength + 9;
  std::string narrow(2 * item, '\0');
  narrow.replace(0, record.size(), record);
  narrow.replace(item, 600, record, 0, 600);
  // Code points of four bytes, in the machine's order, from an odd address.
  std::string wide(1 + 4 * item, '\0');
  for (std::size_t k = 0; k < 600; ++k) wide[1 + 4 * k] = record[k];
  wide[1 + 4 * 3] = static_cast<char>(0xE9);  // U+00E9 becomes one byte

  std::string withAccent = record.substr(0, 600);
  withAccent[3] = static_cast<char>(0xE9);
  const std::vector<std::string> expected = {record, record.substr(0, 600), withAccent};
  batch::RecordSource source;
  source.count = 2;
  source.block = {narrow.data(), static_cast<std::ptrdiff_t>(item), item, false};
  const Arrays fromNarrow = group_all(source, 1);
  source.count = 1;
  source.block = {wide.data() + 1, 0, 4 * item, true};
  const Arrays fromWide = group_all(source, 1);
  const std::vector<std::string_view> views = views_of(expected);
  const Arrays fromViews = group_all(view_source(views), 1);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fromNarrow.status[i], fromViews.status[i]) << i;
    EXPECT_EQ(fromNarrow.edits[i], fromViews.edits[i]) << i;
  }
  EXPECT_EQ(fromWide.status[0], fromViews.status[2]);
  EXPECT_EQ(fromWide.edits[0], fromViews.edits[2]);
  EXPECT_NE(fromViews.edits[1], fromViews.edits[2]) << "the accent is seen";
}

TEST(BatchEngine, RecordsNotReadyAreLeftUnsettledForTheCaller) {
  const std::vector<std::string> records = batch_records(40);
  std::vector<std::string_view> views = views_of(records);
  std::string accented = records[5];
  accented[0] = static_cast<char>(0xC3);
  views[5] = accented;
  std::vector<unsigned char> asciiOnly(records.size(), 1);
  asciiOnly[7] = 0;
  std::string accented7 = records[7];
  accented7[0] = static_cast<char>(0xC3);
  views[7] = accented7;  // not flagged: read as it is
  batch::RecordSource source = view_source(views);
  source.asciiOnly = asciiOnly.data();
  Arrays a = group_all(source, 2);
  const batch::BatchColumns c = a.columns();
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(a.cmg[i] == batch::kUnsettled, i == 5) << i;
    if (i == 5) {
      EXPECT_TRUE(batch::row_needs_caller(c, i));
    }
  }
  // Settled afterwards, the row is what the others are.
  batch::BatchSettings settings;
  settings.edits = true;
  batch::group_row(records[5], settings, c, 5);
  const Arrays plain = group_all(view_source(views_of(records)), 1);
  EXPECT_EQ(a.status[5], plain.status[5]);
  EXPECT_EQ(a.cmg[5], plain.cmg[5]);
  EXPECT_EQ(a.description[5], plain.description[5]);
  EXPECT_EQ(a.edits[5], plain.edits[5]);
  EXPECT_FALSE(batch::row_needs_caller(c, 5));

  // A reader of the caller's own that cannot read odd rows here.
  source = {};
  source.count = records.size();
  source.context = &records;
  source.fetch = [](const void* context, std::size_t i, char* room,
                    std::string_view& record) noexcept {
    const auto& all = *static_cast<const std::vector<std::string>*>(context);
    const std::size_t n = std::min(all[i].size(), kRecordLength);
    all[i].copy(room, n);
    record = {room, n};
    return i % 2 == 0;
  };
  const Arrays fetched = group_all(source, 2);
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (i % 2 == 0) {
      EXPECT_EQ(fetched.status[i], plain.status[i]) << i;
      EXPECT_EQ(fetched.cmg[i], plain.cmg[i]) << i;
    } else {
      EXPECT_EQ(fetched.cmg[i], batch::kUnsettled) << i;
    }
  }
}

TEST(BatchEngine, AHighByteIsSeenAnywhereInARecord) {
  for (std::size_t size = 0; size <= 21; ++size) {
    std::string bytes(size, 'a');
    EXPECT_FALSE(batch::has_high_byte(bytes)) << size;
    for (std::size_t at = 0; at < size; ++at) {
      std::string high = bytes;
      high[at] = static_cast<char>(0x80 + at);
      EXPECT_TRUE(batch::has_high_byte(high)) << size << " " << at;
    }
  }
}

TEST(BatchEngine, NoRecordsAndMoreThreadsThanRows) {
  NotingSink sink;
  const std::vector<std::string_view> none;
  EXPECT_TRUE(group_all(view_source(none), 8, true, &sink).status.empty());
  EXPECT_TRUE(sink.seen.empty());
  const std::vector<std::string> records = batch_records(3);
  const std::vector<std::string_view> views = views_of(records);
  EXPECT_TRUE(group_all(view_source(views), 8) == group_all(view_source(views), 1));
}

}  // namespace
}  // namespace cmg290::test
