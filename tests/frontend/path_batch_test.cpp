// A file named by its path, as the front ends' path readers group it: each
// record's line against the command's numbering wherever the parts end,
// and a gzip file against the same bytes plain (one member or several,
// none, damaged), through PathBatch and the record-file reader alike.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "batch/path_batch.h"
#include "batch/record_file.h"
#include "batch_arrays.h"
#include "batch_records.h"
#include "chunk_cutter.h"
#include "cmg290/cmg290.h"
#include "fd_source.h"

namespace cmg290::test {
namespace {

using namespace std::string_literals;

// A member of gzip data holding `text`.
std::string gzip_member(const std::string& text) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&zs, text.size()) + 32, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  zs.avail_in = static_cast<uInt>(text.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

class PathBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/cmg290_path_batch.XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = name;
  }
  void TearDown() override { std::remove(path_.c_str()); }

  void write(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
  }

  // The records and their lines as `cmg290 group` numbers them: every
  // line, empty ones too, has a number; only those with text are records.
  std::vector<std::pair<std::string, std::int64_t>> command_lines(const std::string& bytes) {
    write(bytes);
    std::vector<std::pair<std::string, std::int64_t>> out;
    const int fd = ::open(path_.c_str(), O_RDONLY);
    cli::FdSource source(fd);
    cli::ChunkCutter cutter(1 << 16, kRecordLength);
    std::vector<char> chunk((1 << 16) + 1);
    std::int64_t line = 0;
    for (;;) {
      const cli::ChunkFill fill = cutter.next(chunk.data(), source);
      for (const char* p = chunk.data(); p < chunk.data() + fill.size;) {
        const char* nl = static_cast<const char*>(
            std::memchr(p, '\n', static_cast<std::size_t>(chunk.data() + fill.size - p)));
        const std::string_view text = cli::line_text(p, nl, fill.cut);
        ++line;
        if (!text.empty()) out.emplace_back(text.substr(0, kRecordLength), line);
        p = nl + 1;
      }
      if (fill.end || fill.size == 0) break;
    }
    close(fd);
    return out;
  }

  // What a batch of the file gives: its rows, and the line of each.
  struct Grouped {
    int error = 0;
    std::string errorText;
    std::vector<std::int64_t> lines;
    Arrays arrays{0};
    std::size_t needCaller = 0;
  };
  // Staged: grouped while counted (read once). The records of the rows
  // that need the caller are checked against `records` (by row) too.
  Grouped group_path(int threads, bool staged = false,
                     const std::vector<std::string>* records = nullptr) {
    Grouped g;
    batch::PathBatch file;
    batch::BatchSettings settings;
    settings.threads = threads;
    settings.edits = true;
    g.error = file.open(path_.c_str());
    if (g.error == 0) g.error = file.count(threads, staged ? &settings : nullptr);
    if (g.error == 0) {
      g.arrays = Arrays(file.records());
      g.lines.assign(file.records(), -7);
      batch::BatchColumns columns = g.arrays.columns();
      columns.line = {g.lines.data(), true};
      g.error = file.group(settings, columns);
      const batch::RecordSource source = file.source();
      char room[kRecordLength];
      for (std::size_t i = 0; records != nullptr && i < source.count; ++i) {
        std::string_view record;
        if (!batch::row_needs_caller(columns, i)) continue;
        ++g.needCaller;
        EXPECT_TRUE(source.get(i, room, record)) << i;
        EXPECT_EQ(std::string(record), (*records)[i]) << i;
      }
    }
    if (g.error != 0) g.errorText = file.error_text(g.error);
    return g;
  }

  std::string path_;
};

TEST_F(PathBatchTest, EachRecordHasTheCommandsLineWhereverThePartsEnd) {
  const std::string record(kRecordLength, 'R');
  const std::string inputs[] = {
      "a\r\n\nb\r\r\n" + std::string(5000, 'L') + "\n\n\n" + "last",
      "\n\n\nx\n\r\n\r\ny\r",
      "x\0y\n\0\n\n\0"s,
      record + "\n\n" + record + "\r\n" + std::string(3000, 'M') + "\r\n\n" + record,
  };
  for (const std::string& input : inputs) {
    const auto expected = command_lines(input);
    for (std::size_t partBytes : {std::size_t{1}, std::size_t{3}, std::size_t{1300}}) {
      for (int threads : {1, 3}) {
        const int fd = ::open(path_.c_str(), O_RDONLY);
        batch::FdBytes bytes(fd);
        batch::LineFile file(bytes, partBytes);
        const bool staged = threads == 3;  // and grouped while counted
        batch::BatchSettings settings;
        settings.threads = threads;
        ASSERT_EQ(file.count(threads, staged ? &settings : nullptr), 0);
        ASSERT_EQ(file.records(), expected.size());
        Arrays a(file.records());
        std::vector<std::int32_t> lines(file.records(), -7);
        batch::BatchColumns columns = a.columns();
        columns.line = {lines.data(), false};
        ASSERT_EQ(file.group(settings, columns), 0);
        close(fd);
        for (std::size_t i = 0; i < expected.size(); ++i) {
          EXPECT_EQ(lines[i], expected[i].second)
              << "row " << i << ", parts of " << partBytes << ", " << threads << " threads";
        }
      }
    }
  }
}

TEST_F(PathBatchTest, RowsGroupedWhileCountingAreThoseOfTheSecondPass) {
  // Whole, short and junk records between empty lines, in parts of a few
  // records and of many.
  const std::vector<std::string> records = batch_records(2 * 4096 + 7);
  std::string text;
  for (std::size_t i = 0; i < records.size(); ++i) {
    text += records[i] + (i % 3 == 0 ? "\r\n" : "\n");
    if (i % 89 == 0) text += "\n\r\n";
  }
  write(text);
  auto grouped = [&](std::size_t partBytes, int threads, const batch::BatchSettings* stage,
                     const batch::BatchSettings& settings, Arrays& a,
                     std::vector<std::int64_t>& lines) {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    batch::FdBytes bytes(fd);
    batch::LineFile file(bytes, partBytes);
    EXPECT_EQ(file.count(threads, stage), 0);
    EXPECT_EQ(file.records(), records.size());
    a = Arrays(file.records(), true);
    lines.assign(file.records(), -7);
    batch::BatchColumns columns = a.columns();
    columns.line = {lines.data(), true};
    NotingSink sink;
    EXPECT_EQ(file.group(settings, columns, &sink), 0);
    EXPECT_EQ(sink.seen.size(), records.size());
    for (std::size_t i = 0; i < sink.seen.size(); ++i) ASSERT_EQ(sink.seen[i], i);
    close(fd);
  };
  batch::BatchSettings plain, edits;
  edits.edits = true;
  Arrays expected(0), got(0);
  std::vector<std::int64_t> expectedLines, gotLines;
  grouped(batch::LineFile::kPartBytes, 1, nullptr, edits, expected, expectedLines);
  for (std::size_t partBytes : {std::size_t{1300}, std::size_t{100000}}) {
    for (int threads : {1, 3}) {
      edits.threads = threads;
      grouped(partBytes, threads, &edits, edits, got, gotLines);
      EXPECT_TRUE(got == expected) << partBytes << " " << threads;
      EXPECT_EQ(gotLines, expectedLines);
      // Staged without edits, grouped with them: read again, the same rows.
      grouped(partBytes, threads, &plain, edits, got, gotLines);
      EXPECT_TRUE(got == expected) << partBytes << " " << threads;
      EXPECT_EQ(gotLines, expectedLines);
    }
  }
}

TEST_F(PathBatchTest, APartOfTheShortestRecordsFitsTheRowsItIsGroupedInto) {
  // A record of one byte and its line end: a part of n bytes holds the
  // starts of (n + 1) / 2 records, every one of which is grouped while the
  // lines are counted.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += i % 2 == 0 ? "x\n" : "y\n";
  write(text);
  for (std::size_t partBytes : {std::size_t{1}, std::size_t{3}, std::size_t{4095}}) {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    batch::FdBytes bytes(fd);
    batch::LineFile file(bytes, partBytes);
    batch::BatchSettings settings;
    settings.threads = 2;
    ASSERT_EQ(file.count(2, &settings), 0);
    ASSERT_EQ(file.records(), 5000u);
    Arrays a(5000);
    std::vector<std::int64_t> lines(5000, -7);
    batch::BatchColumns columns = a.columns();
    columns.line = {lines.data(), true};
    ASSERT_EQ(file.group(settings, columns), 0);
    close(fd);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_EQ(lines[i], static_cast<std::int64_t>(i + 1)) << partBytes;
      ASSERT_EQ(a.status[i], a.status[0]) << partBytes;
    }
  }
}

TEST_F(PathBatchTest, AGzipFileGivesTheRowsAndLinesOfItsPlainBytes) {
  std::string text;
  const std::vector<std::string> records = batch_records(2 * 4096 + 3);
  for (std::size_t i = 0; i < records.size(); ++i) {
    text += records[i] + (i % 3 == 0 ? "\r\n" : "\n");
    if (i % 97 == 0) text += "\n";
  }
  text += "last without a line end";
  write(text);
  std::vector<std::string> expectedRecords(records.begin(), records.end());
  expectedRecords.push_back("last without a line end");
  for (std::string& r : expectedRecords) r.resize(std::min(r.size(), kRecordLength));
  const Grouped plain = group_path(2, true);
  ASSERT_EQ(plain.error, 0);
  ASSERT_EQ(plain.lines.size(), records.size() + 1);
  EXPECT_EQ(plain.lines.back(),
            static_cast<std::int64_t>(records.size() + 1 + records.size() / 97 + 1));

  // One member, and the same bytes cut in three members, as `cat a.gz b.gz`
  // makes them: both are the plain file.
  const std::size_t third = text.size() / 3;
  for (const std::string& gz : {gzip_member(text), gzip_member(text.substr(0, third)) +
                                                       gzip_member(text.substr(third, third)) +
                                                       gzip_member(text.substr(2 * third))}) {
    write(gz);
    for (int threads : {1, 3}) {
      for (bool staged : {false, true}) {
        const Grouped got = group_path(threads, staged, &expectedRecords);
        ASSERT_EQ(got.error, 0) << got.errorText;
        EXPECT_TRUE(got.arrays == plain.arrays) << staged;
        EXPECT_EQ(got.lines, plain.lines) << staged;
        EXPECT_GT(got.needCaller, 0u);  // rows of more edits than a key holds
      }
    }
    batch::RecordBlock block, plainBlock;
    std::vector<std::int64_t> lines;
    ASSERT_EQ(batch::read_record_file(path_.c_str(), block, false, &lines).error, 0);
    EXPECT_EQ(lines, plain.lines);
    write(text);
    ASSERT_EQ(batch::read_record_file(path_.c_str(), plainBlock).error, 0);
    ASSERT_EQ(block.count(), plainBlock.count());
    EXPECT_EQ(std::memcmp(block.data(), plainBlock.data(), block.count() * kRecordLength), 0);
  }
}

TEST_F(PathBatchTest, AGzipFileOfNoRecordsIsEmptyAndDamagedOneIsAnErrorWithItsDamage) {
  for (const std::string& none : {gzip_member(""), gzip_member("\n\r\n\n")}) {
    write(none);
    for (bool staged : {false, true}) {
      const Grouped got = group_path(2, staged);
      EXPECT_EQ(got.error, 0);
      EXPECT_EQ(got.lines.size(), 0u);
    }
  }
  const std::string records = batch_records(1).front() + "\n" + batch_records(1).front() + "\n";
  const std::string gz = gzip_member(records);
  std::string badCrc = gz;
  badCrc[gz.size() - 6] ^= 1;
  const std::pair<std::string, std::string> damaged[] = {
      {gz.substr(0, gz.size() - 10),
       "damaged gzip data: the data ends inside a member: the file "
       "is truncated"},
      {badCrc, "damaged gzip data: CRC mismatch"},
      {gz + "trailing junk",
       "damaged gzip data: bytes after the compressed data that start no other gzip member"},
  };
  for (const auto& [bytes, text] : damaged) {
    write(bytes);
    for (bool staged : {false, true}) {
      const Grouped got = group_path(2, staged);
      EXPECT_EQ(got.error, batch::kDamagedGzip);
      EXPECT_EQ(got.errorText, text);
    }
    batch::RecordBlock block;
    const batch::RecordFileRead read = batch::read_record_file(path_.c_str(), block);
    EXPECT_EQ(read.error, batch::kDamagedGzip);
    EXPECT_EQ(read.error_text(), text);
  }
  // Staged without edits, a gzip file is not read again for them: refused,
  // with nothing written.
  write(gz);
  {
    batch::PathBatch file;
    ASSERT_EQ(file.open(path_.c_str()), 0);
    batch::BatchSettings plainSettings, withEdits;
    withEdits.edits = true;
    ASSERT_EQ(file.count(1, &plainSettings), 0);
    ASSERT_EQ(file.records(), 2u);
    Arrays a(2);
    a.status = {12345, 12345};
    EXPECT_EQ(file.group(withEdits, a.columns()), EINVAL);
    EXPECT_EQ(a.status, (std::vector<std::int32_t>{12345, 12345}));
  }
  // The bytes tell, not the name: a plain file is plain whatever it is called.
  write(records);
  EXPECT_EQ(group_path(1).lines, (std::vector<std::int64_t>{1, 2}));
  EXPECT_EQ(batch::PathBatch().open("/nonexistent/file.gz"), ENOENT);
}

}  // namespace
}  // namespace cmg290::test
