// The line reader of `cmg290 group`: line ends, empty lines, lines longer
// than a chunk and lines split across chunks and reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/line_reading.h"

namespace cmg290::test {
namespace {

using namespace std::string_literals;

std::vector<ReadLine> read_all(const std::string& text, std::size_t chunkBytes,
                               std::size_t keepBytes, std::vector<std::size_t> sizes = {},
                               std::size_t noted = 4) {
  PieceSource source(text, std::move(sizes));
  const Reading r = read_lines(source, chunkBytes, keepBytes, noted);
  EXPECT_EQ(r.fault, "");
  EXPECT_EQ(r.error, 0);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(source.handed_out(), text.size());
  return r.lines;
}

std::vector<std::string> texts(const std::vector<ReadLine>& lines) {
  std::vector<std::string> out;
  for (const ReadLine& l : lines) out.push_back(l.text);
  return out;
}

using Texts = std::vector<std::string>;

TEST(LineReader, LineEndsEmptyLinesAndOddBytes) {
  // A chunk far larger than the text, then one that holds only a few lines.
  for (std::size_t chunk : {4096, 12}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(texts(read_all("", chunk, 3)), Texts{});
    EXPECT_EQ(texts(read_all("a\nb\r\nc", chunk, 3)), (Texts{"a", "b", "c"}));
    EXPECT_EQ(texts(read_all("a\n", chunk, 3)), Texts{"a"}) << "no line after the last line end";
    EXPECT_EQ(texts(read_all("\n\r\n\n", chunk, 3)), (Texts{"", "", ""}));
    EXPECT_EQ(texts(read_all("\r", chunk, 3)), Texts{""});
    // Only one carriage return belongs to the line end; others are data.
    EXPECT_EQ(texts(read_all("x\r\r\na\rb\nlast\r", chunk, 3)), (Texts{"x\r", "a\rb", "last"}));
    EXPECT_EQ(texts(read_all("a\0b\n\0\n\xff\x80\n"s, chunk, 3)),
              (Texts{"a\0b"s, "\0"s, "\xff\x80"}));
  }
  const std::vector<ReadLine> numbered = read_all("\nx\n\n\ny", 4096, 3);
  ASSERT_EQ(numbered.size(), 5u);
  EXPECT_EQ(numbered[1], (ReadLine{2, "x", false}));
  EXPECT_EQ(numbered[4], (ReadLine{5, "y", false}));
}

TEST(LineReader, LinesOfAChunkOrMoreAreCutToTheirHead) {
  // Chunks of 8 bytes; a cut line keeps 3.
  EXPECT_EQ(read_all("1234567\n12345678\nab\n", 8, 3),
            (std::vector<ReadLine>{{1, "1234567", false}, {2, "123", true}, {3, "ab", false}}));
  // The carriage return of CRLF counts towards the length.
  EXPECT_EQ(read_all("123456\r\n1234567\r\n", 8, 3),
            (std::vector<ReadLine>{{1, "123456", false}, {2, "123", true}}));
  // A long last line without its line end, and one far longer than a chunk.
  EXPECT_EQ(read_all("x\n" + std::string(8, 'y'), 8, 3),
            (std::vector<ReadLine>{{1, "x", false}, {2, "yyy", true}}));
  EXPECT_EQ(read_all(std::string(1000, 'z') + "\nnext\n", 8, 3),
            (std::vector<ReadLine>{{1, "zzz", true}, {2, "next", false}}));
  // A carriage return where the head is cut is data, not a line end: the
  // head keeps it.
  EXPECT_EQ(read_all("12\r45678\r\n", 8, 3), (std::vector<ReadLine>{{1, "12\r", true}}));
  EXPECT_EQ(read_all("12\r" + std::string(50, '7') + "\n", 8, 3),
            (std::vector<ReadLine>{{1, "12\r", true}}));
}

// Every chunk size, head size, run of read sizes and number of noted line
// ends gives the lines of the plain split, with the progress count at the
// end of each chunk's last line.
TEST(LineReader, SameLinesForAnyChunkReadAndIndexSize) {
  const std::string text = "first\r\n\n\r\nshort\n" + std::string(30, 'L') + "\r\n" + "mid\r" +
                           std::string(17, 'M') + "\n" + "\0nul\0\n"s + "a\nb\nc\nd\n" +
                           std::string(9, 'N') + "\r\r\n" + "tail without end\r";
  const std::vector<std::vector<std::size_t>> readRuns = {{}, {1}, {2, 7}, {5, 1, 13}, {64}};
  int runs = 0;
  for (std::size_t chunk = 2; chunk <= 40; ++chunk) {
    for (std::size_t keep = 1; keep < chunk && keep <= 6; keep += 2) {
      std::vector<std::size_t> after;
      const std::vector<ReadLine> expected = split_lines(text, chunk, keep, &after);
      for (const auto& sizes : readRuns) {
        for (std::size_t noted : {0, 1, 3, 100}) {
          PieceSource source(text, sizes);
          const Reading r = read_lines(source, chunk, keep, noted);
          ASSERT_EQ(r.fault, "") << chunk << "/" << keep << "/" << noted;
          ASSERT_EQ(r.lines, expected) << chunk << "/" << keep << "/" << noted;
          ASSERT_TRUE(r.ended);
          for (const auto& [last, bytes] : r.chunkEnds) {
            ASSERT_EQ(bytes, after[last - 1]) << chunk << "/" << keep << " line " << last;
          }
          ASSERT_EQ(r.chunkEnds.back().second, text.size());
          ++runs;
        }
      }
    }
  }
  EXPECT_GT(runs, 1000);
}

TEST(LineReader, ReadErrorStopsWithWholeLinesOnly) {
  const std::string text = "one\ntwo\nthree\n" + std::string(40, 'x') + "\nfive\n";
  const std::vector<ReadLine> all = split_lines(text, 16, 4);
  for (std::size_t failAt = 0; failAt < text.size(); ++failAt) {
    PieceSource source(text, {3}, failAt);
    const Reading r = read_lines(source, 16, 4, 2);
    EXPECT_EQ(r.error, -1) << failAt;
    EXPECT_EQ(r.fault, "");
    ASSERT_LE(r.lines.size(), all.size());
    EXPECT_EQ(r.lines, std::vector(all.begin(), all.begin() + r.lines.size())) << failAt;
  }
}

TEST(LineReader, AfterTheEndNothingMoreIsRead) {
  PieceSource source("a\nb", {});
  cli::ChunkCutter cutter(16, 4);
  char data[17];
  const cli::ChunkFill fill = cutter.next(data, source);
  EXPECT_EQ(fill.size, 4u);
  EXPECT_TRUE(fill.end);
  const std::size_t reads = source.reads();
  const cli::ChunkFill again = cutter.next(data, source);
  EXPECT_EQ(again.size, 0u);
  EXPECT_TRUE(again.end);
  EXPECT_EQ(source.reads(), reads) << "a terminal could block on another read";
  // reset() starts on the next input.
  PieceSource second("c\n", {});
  cutter.reset();
  EXPECT_EQ(cutter.next(data, second).size, 2u);
}

}  // namespace
}  // namespace cmg290::test
