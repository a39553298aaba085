// The record-file reader of the Python module and the R package: the line
// rules of `cmg290 group`, a zero byte, and files it cannot read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "batch/record_file.h"
#include "cmg290/cmg290.h"

namespace cmg290::test {
namespace {

using namespace std::string_literals;

class RecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/cmg290_record_file.XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = name;
  }
  void TearDown() override { std::remove(path_.c_str()); }

  void write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }

  std::vector<std::string> records(batch::RecordBlock& block) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < block.count(); ++i) {
      out.emplace_back(block.data() + i * kRecordLength, kRecordLength);
    }
    return out;
  }

  // A short record in its room: zero bytes follow it, which are not part
  // of it.
  static std::string padded(const std::string& s) {
    return s + std::string(kRecordLength - s.size(), '\0');
  }

  std::string path_;
};

TEST_F(RecordFile, LinesBecomeRecordsAsCmg290GroupReadsThem) {
  const std::string longLine(kRecordLength + 500, 'L');
  write("a\r\n\nb\r\r\n" + longLine + "\n\n" + "last");
  batch::RecordBlock block;
  const batch::RecordFileRead read = batch::read_record_file(path_.c_str(), block);
  EXPECT_EQ(read.error, 0);
  EXPECT_EQ(read.zeroByteLine, 0);
  EXPECT_EQ(records(block),
            (std::vector<std::string>{padded("a"), padded("b\r"), longLine.substr(0, kRecordLength),
                                      padded("last")}));
  // Each keeps its length, so that the grouper finds the short ones short.
  EXPECT_EQ(block.length(0), 1u);
  EXPECT_EQ(block.length(1), 2u);
  EXPECT_EQ(block.length(2), kRecordLength);
  EXPECT_EQ(block.length(3), 4u);
}

TEST_F(RecordFile, ManyShortLinesAreCountedFirstAndTheBlockIsMadeOnceAtTheirSize) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += std::to_string(i) + "\n";
  write(text);
  batch::RecordBlock block;
  ASSERT_EQ(batch::read_record_file(path_.c_str(), block).error, 0);
  const std::vector<std::string> got = records(block);
  ASSERT_EQ(got.size(), 5000u);
  EXPECT_EQ(got[4999], padded("4999"));
  const batch::RecordBlock::Mapping m = block.release();
  ASSERT_NE(m.data, nullptr);
  // Room for the 5000 lines and a last one without a line end, not grown
  // from a guess by the file's size.
  EXPECT_EQ(m.bytes, 5001 * kRecordLength);
  EXPECT_EQ(std::string(static_cast<const char*>(m.data), 2), "0\0"s);
  batch::RecordBlock::unmap(m);
}

TEST_F(RecordFile, AZeroByteStopsTheReadingOnlyWhenAskedTo) {
  write("one\n\n\nt\0o\nthree\n"s);
  batch::RecordBlock kept;
  const batch::RecordFileRead all = batch::read_record_file(path_.c_str(), kept);
  EXPECT_EQ(all.zeroByteLine, 0);
  EXPECT_EQ(kept.count(), 3u);
  batch::RecordBlock stopped;
  const batch::RecordFileRead read = batch::read_record_file(path_.c_str(), stopped, true);
  EXPECT_EQ(read.error, 0);
  EXPECT_EQ(read.zeroByteLine, 4) << "empty lines count";
  // Past a line's first kRecordLength bytes a zero byte is not kept.
  write("x" + std::string(kRecordLength, 'y') + "\0\n"s);
  batch::RecordBlock cut;
  EXPECT_EQ(batch::read_record_file(path_.c_str(), cut, true).zeroByteLine, 0);
  EXPECT_EQ(cut.count(), 1u);
}

TEST_F(RecordFile, FilesThatCannotBeReadGiveTheirErrno) {
  batch::RecordBlock block;
  EXPECT_EQ(batch::read_record_file((path_ + ".missing").c_str(), block).error, ENOENT);
  EXPECT_EQ(batch::read_record_file("/tmp", block).error, EISDIR);
  EXPECT_EQ(block.count(), 0u);
}

}  // namespace
}  // namespace cmg290::test
