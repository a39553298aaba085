// Grouping a file where it lies: its records against those the command's
// own line reader cuts from it, whatever the size of the parts; its rows
// against the batch engine's for the same records; and a file that changes
// between the two passes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "batch/file_batch.h"
#include "batch_arrays.h"
#include "batch_records.h"
#include "chunk_cutter.h"
#include "cmg290/cmg290.h"
#include "fd_source.h"
#include "mapped_window.h"

namespace cmg290::test {
namespace {

using namespace std::string_literals;

class FileBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/cmg290_file_batch.XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = name;
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
    std::remove(path_.c_str());
  }

  void write(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
  }
  int open_file() {
    if (fd_ >= 0) close(fd_);
    fd_ = ::open(path_.c_str(), O_RDONLY);
    return fd_;
  }

  // The record texts `cmg290 group` finds: its chunk cutter and line_text,
  // each cut to the positions the grouper reads.
  std::vector<std::string> command_records() {
    std::vector<std::string> out;
    const int fd = ::open(path_.c_str(), O_RDONLY);
    cli::FdSource source(fd);
    cli::ChunkCutter cutter(1 << 16, kRecordLength);
    std::vector<char> chunk((1 << 16) + 1);
    for (;;) {
      const cli::ChunkFill fill = cutter.next(chunk.data(), source);
      for (const char* p = chunk.data(); p < chunk.data() + fill.size;) {
        const char* nl = static_cast<const char*>(
            std::memchr(p, '\n', static_cast<std::size_t>(chunk.data() + fill.size - p)));
        const std::string_view text = cli::line_text(p, nl, fill.cut);
        if (!text.empty()) out.emplace_back(text.substr(0, kRecordLength));
        p = nl + 1;
      }
      if (fill.end || fill.size == 0) break;
    }
    close(fd);
    return out;
  }

  std::vector<std::string> file_records(std::size_t partBytes, int threads, bool mapped) {
    batch::FdBytes bytes(open_file());
    EXPECT_EQ(bytes.error(), 0);
    batch::LineFile file(bytes, partBytes);
    EXPECT_EQ(file.count(threads), 0);
    EXPECT_EQ(bytes.mapped(), mapped);
    const batch::RecordSource source = file.source();
    std::vector<std::string> out;
    char room[kRecordLength];
    for (std::size_t i = 0; i < source.count; ++i) {
      std::string_view record;
      EXPECT_TRUE(source.get(i, room, record));
      out.emplace_back(record);
    }
    return out;
  }

  // While the arena is taken here, the file is read with pread() instead of
  // through mapped windows: each test runs both ways.
  static std::unique_ptr<cli::WindowArena> take_arena(bool take) {
    if (!take) return nullptr;
    auto arena = cli::WindowArena::create(1, 1 << 16);
    EXPECT_NE(arena, nullptr);
    return arena;
  }

  std::string path_;
  int fd_ = -1;
};

TEST_F(FileBatch, RecordsAreTheLinesTheCommandReadsWhereverThePartsEnd) {
  const std::string record(kRecordLength, 'R');
  const std::string inputs[] = {
      "a\r\n\nb\r\r\n" + std::string(5000, 'L') + "\n\n" + "last",
      "\r\n\r\n\r\n\n\n",
      "\r",
      "one\r",
      "x\0y\n\0\n\n\0"s,
      record + "\n" + record + "\r\n" + record + "X\r\n" + record.substr(1) + "\r\n" + record,
      std::string(3000, 'M') + "\r",
      "",
      "\n",
  };
  for (bool mapped : {true, false}) {
    const auto taken = take_arena(!mapped);
    for (const std::string& input : inputs) {
      write(input);
      const std::vector<std::string> expected = command_records();
      for (std::size_t partBytes :
           {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{1252}, std::size_t{4096},
            batch::LineFile::kPartBytes}) {
        EXPECT_EQ(file_records(partBytes, 3, mapped), expected)
            << "input of " << input.size() << " bytes, parts of " << partBytes << ", mapped "
            << mapped;
      }
    }
  }
}

TEST_F(FileBatch, RowsAreTheBatchEnginesForTheSameRecordsOnAnyThreads) {
  // Whole, short and junk records, some with CRLF, between empty lines.
  const std::vector<std::string> records = batch_records(3 * 4096 + 5);
  std::string text;
  for (std::size_t i = 0; i < records.size(); ++i) {
    text += records[i] + (i % 3 == 0 ? "\r\n" : "\n");
    if (i % 97 == 0) text += "\n";
  }
  write(text);
  const std::vector<std::string_view> views(records.begin(), records.end());
  batch::RecordSource source;
  source.count = views.size();
  source.views = views.data();
  batch::BatchSettings settings;
  settings.edits = true;
  Arrays expected(records.size());
  batch::group_batch(source, settings, expected.columns());

  for (int threads : {1, 3}) {
    const auto taken = take_arena(threads == 1);
    batch::FdBytes bytes(open_file());
    batch::LineFile file(bytes, 100000);
    ASSERT_EQ(file.count(threads), 0);
    ASSERT_EQ(file.records(), records.size());
    Arrays got(records.size());
    settings.threads = threads;
    NotingSink sink;
    ASSERT_EQ(file.group(settings, got.columns(), &sink), 0);
    EXPECT_TRUE(got == expected) << threads << " threads";
    ASSERT_EQ(sink.seen.size(), records.size());
    for (std::size_t i = 0; i < sink.seen.size(); ++i) ASSERT_EQ(sink.seen[i], i);
  }
}

TEST_F(FileBatch, AFileThatChangesBetweenThePassesIsAnErrorAndNoRowIsWrittenPastTheCounted) {
  const std::string record = batch_records(1).front();
  const std::string lines = record + "\n" + record + "\n" + record + "\n";
  batch::BatchSettings settings;

  for (bool mapped : {true, false}) {
    const auto taken = take_arena(!mapped);
    // Cut short: the bytes counted are no longer there.
    write(lines);
    {
      batch::FdBytes bytes(open_file());
      batch::LineFile file(bytes, 1000);
      ASSERT_EQ(file.count(2), 0);
      ASSERT_EQ(truncate(path_.c_str(), static_cast<off_t>(record.size())), 0);
      Arrays a(file.records());
      EXPECT_EQ(file.group(settings, a.columns()), batch::kFileChanged);
      EXPECT_STREQ(batch::file_error_text(batch::kFileChanged),
                   "the file was cut short while it was being read");
    }
    // The same size, more lines: the rows counted are all that are written.
    write(lines);
    {
      batch::FdBytes bytes(open_file());
      batch::LineFile file(bytes, 1000);
      ASSERT_EQ(file.count(1), 0);
      ASSERT_EQ(file.records(), 3u);
      std::string more = lines;
      for (std::size_t at = 100; at < more.size(); at += 200) more[at] = '\n';
      std::ofstream(path_, std::ios::binary | std::ios::in) << more;
      Arrays a(4);  // one row more than counted, which must stay as it is
      a.status[3] = 12345;
      EXPECT_EQ(file.group(settings, a.columns()), batch::kFileChanged);
      EXPECT_EQ(a.status[3], 12345);
    }
  }
}

TEST_F(FileBatch, BytesCutShortUnderAWindowAreAnErrorEvenOnceTheFileHasItsSizeAgain) {
  const std::size_t page = cli::WindowArena::page_size();
  const std::string text(3 * page, 'x');
  write(text);
  batch::FdBytes bytes(open_file());
  bytes.prepare(1, text.size());
  ASSERT_TRUE(bytes.mapped());
  int error = 0;
  std::vector<char> room(text.size());
  const char* shown = bytes.show(0, room.data(), text.size(), 0, error);
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(truncate(path_.c_str(), 0), 0);
  // The page is gone: it reads as line ends, and the window is marked.
  EXPECT_EQ(static_cast<const volatile char*>(shown)[2 * page + 5], '\n');
  ASSERT_EQ(truncate(path_.c_str(), static_cast<off_t>(text.size())), 0);
  EXPECT_EQ(bytes.done(0), batch::kFileChanged);
  // Shown again, whole: nothing to report.
  ASSERT_NE(bytes.show(0, room.data(), text.size(), 0, error), nullptr);
  EXPECT_EQ(bytes.done(0), 0);
}

TEST_F(FileBatch, ALastLineCutWithinItsPageIsAnErrorThoughNoLineIsLost) {
  // The bytes past the new end read as zero bytes, no fault and no other
  // line end: only the file's size tells.
  const std::string record = batch_records(1).front();
  for (bool mapped : {true, false}) {
    const auto taken = take_arena(!mapped);
    write(record + "\n" + record);
    batch::FdBytes bytes(open_file());
    batch::LineFile file(bytes);
    ASSERT_EQ(file.count(1), 0);
    ASSERT_EQ(file.records(), 2u);
    ASSERT_EQ(truncate(path_.c_str(), static_cast<off_t>(record.size() + 600)), 0);
    Arrays a(2);
    EXPECT_EQ(file.group(batch::BatchSettings{}, a.columns()), batch::kFileChanged) << mapped;
  }
}

TEST_F(FileBatch, GroupingBeforeCountingWritesNothing) {
  write(batch_records(1).front() + "\n");
  batch::FdBytes bytes(open_file());
  batch::LineFile file(bytes);
  Arrays a(1);
  a.status[0] = 12345;
  EXPECT_EQ(file.group(batch::BatchSettings{}, a.columns()), EINVAL);
  EXPECT_EQ(a.status[0], 12345);
}

TEST_F(FileBatch, ADirectoryOrAnUnreadableDescriptorIsTheirErrno) {
  const int dir = ::open("/tmp", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dir, 0);
  EXPECT_EQ(batch::FdBytes(dir).error(), EISDIR);
  close(dir);
  EXPECT_EQ(batch::FdBytes(-1).error(), EBADF);
  EXPECT_STREQ(batch::file_error_text(ENOENT), std::strerror(ENOENT));
}

}  // namespace
}  // namespace cmg290::test
