// The inflating source of the record readers on its own: members, reads
// and its room for compressed bytes of every small size, so that each
// boundary falls everywhere; plain input passed on; damaged data refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "chunk_cutter.h"
#include "cli/line_reading.h"
#include "gzip_source.h"

namespace cmg290::test {
namespace {

using cli::GzipSource;
using namespace std::string_literals;

// One gzip member holding `text`, made with zlib's deflate.
std::string gzip_member(const std::string& text, int level = Z_DEFAULT_COMPRESSION) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
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

struct Drained {
  std::string text;
  long error = 0;
  std::string damage;
  bool inflated = false;
};

// Everything a GzipSource over `input` hands out, asking for `ask` bytes a
// read, the raw source handing out `rawSizes` a read.
Drained drain(const std::string& input, std::size_t ask, std::vector<std::size_t> rawSizes = {},
              std::size_t inBytes = GzipSource::kInBytes,
              GzipSource::Mode mode = GzipSource::Mode::kSniff,
              std::size_t failAt = std::string::npos) {
  PieceSource raw(input, std::move(rawSizes), failAt);
  GzipSource source(raw, mode, inBytes);
  Drained d;
  std::vector<char> buf(ask);
  for (;;) {
    const long got = source.read(buf.data(), ask);
    if (got < 0) {
      d.error = got;
      d.damage = source.damage();
      EXPECT_EQ(source.read(buf.data(), ask), got) << "an error stays";
      break;
    }
    if (got == 0) break;
    EXPECT_LE(static_cast<std::size_t>(got), ask);
    d.text.append(buf.data(), static_cast<std::size_t>(got));
  }
  d.inflated = source.inflating();
  return d;
}

std::string some_lines() {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\r\n";
  return text;
}

TEST(GzipSource, MembersReadsAndRoomOfEverySizeGiveTheTextBack) {
  const std::string a = some_lines();
  const std::string b = "\0zero\n\xff\x1f\x8b\nlast without a line end"s;
  // Two members with an empty one between them, one stored, not compressed.
  const std::string input = gzip_member(a) + gzip_member("") + gzip_member(b, 0);
  for (std::size_t ask : {1, 2, 5, 64, 100000}) {
    for (std::size_t room : {2, 3, 17, 4096}) {
      SCOPED_TRACE(std::to_string(ask) + " " + std::to_string(room));
      const Drained d = drain(input, ask, {1, 3, 2, 50}, room);
      EXPECT_EQ(d.error, 0) << d.damage;
      EXPECT_TRUE(d.inflated);
      EXPECT_TRUE(d.text == a + b) << d.text.size();
    }
  }
  // Told it is gzip, the source does not need the magic bytes to see it.
  EXPECT_EQ(drain(gzip_member(a), 4096, {}, 64, GzipSource::Mode::kGzip).text, a);

  // Through the chunk cutter, with chunks far smaller than a member.
  PieceSource raw(input, {7});
  GzipSource source(raw, GzipSource::Mode::kSniff, 5);
  const std::string text = a + b;
  std::string lines;
  cli::ChunkCutter cutter(40, 8);
  std::vector<char> chunk(41);
  for (;;) {
    const cli::ChunkFill fill = cutter.next(chunk.data(), source);
    ASSERT_EQ(fill.error, 0);
    lines.append(chunk.data(), fill.size);
    if (fill.end) break;
  }
  EXPECT_EQ(lines, text + "\n");
}

TEST(GzipSource, PlainInputIsHandedOnAsItIs) {
  for (const std::string& plain : {""s, "\x1f"s, "\x1f\x1f\x8b\n"s, "\x8b\x1f"s, some_lines()}) {
    for (std::size_t ask : {1, 3, 100000}) {
      const Drained d = drain(plain, ask, {1});
      EXPECT_EQ(d.error, 0);
      EXPECT_FALSE(d.inflated);
      EXPECT_TRUE(d.text == plain) << plain.size() << " " << ask;
    }
  }
  // Once the raw source has ended it is not asked again (a terminal would
  // wait for a second Ctrl-D), plain, empty or gzip.
  // Damaged data too: zlib may hand out what it holds after the end.
  const std::string member = gzip_member(some_lines());
  for (const std::string& input :
       {""s, "ab"s, gzip_member("ab\n"), member.substr(0, member.size() - 12)}) {
    for (const GzipSource::Mode mode : {GzipSource::Mode::kSniff, GzipSource::Mode::kGzip}) {
      if (mode == GzipSource::Mode::kGzip && input == "ab") continue;
      PieceSource raw(input, {1});
      GzipSource source(raw, mode);
      char buf[1];
      while (source.read(buf, sizeof buf) > 0) {
      }
      const std::size_t reads = raw.reads();
      EXPECT_LE(source.read(buf, sizeof buf), 0);
      EXPECT_EQ(raw.reads(), reads) << input.size();
      EXPECT_EQ(reads, input.size() + 1) << input.size() << ": each byte, then the end once";
    }
  }
  // A raw source's own error is handed on as it is, before and after the sniff.
  EXPECT_EQ(drain(some_lines(), 10, {4}, 64, GzipSource::Mode::kSniff, 0).error, -1);
  EXPECT_EQ(drain(some_lines(), 10, {4}, 64, GzipSource::Mode::kSniff, 100).error, -1);
  EXPECT_EQ(drain(gzip_member(some_lines()), 10, {4}, 64, GzipSource::Mode::kSniff, 30).error, -1);
}

TEST(GzipSource, DamagedDataIsRefusedWithWhatIsWrong) {
  const std::string member = gzip_member(some_lines());
  const auto refused = [](const std::string& input, std::size_t room = 4096) {
    const Drained d = drain(input, 1000, {}, room);
    EXPECT_EQ(d.error, GzipSource::kDamaged);
    return d.damage;
  };
  // Cut anywhere after the magic bytes, a member is truncated: never a
  // shorter text taken for the whole. What inflates before the cut comes
  // out first, the same bytes in large reads and in one-byte reads (zlib
  // holds some of what it has taken until asked for it).
  for (std::size_t cut = 2; cut < member.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(refused(member.substr(0, cut), 3),
              "damaged gzip data: the data ends inside a member: the file is truncated");
    const Drained whole = drain(member.substr(0, cut), 100000);
    const Drained bytewise = drain(member.substr(0, cut), 1, {1}, 2);
    EXPECT_EQ(bytewise.text, whole.text);
    EXPECT_TRUE(some_lines().starts_with(whole.text));
  }
  std::string crc = member;
  crc[crc.size() - 6] ^= 1;
  EXPECT_EQ(refused(crc), "damaged gzip data: CRC mismatch");
  // The damage is found in the read that inflates the last bytes: they
  // come out first.
  EXPECT_TRUE(drain(crc, 100000).text == some_lines());
  std::string length = member;
  length[length.size() - 2] ^= 1;
  EXPECT_EQ(refused(length), "damaged gzip data: length mismatch");
  EXPECT_EQ(refused("\x1f\x8bhello\n"s), "damaged gzip data: unknown compression method");
  std::string data = member;
  data[12] = '\xff';
  EXPECT_NE(refused(data), "");
  // After a member: anything but another member, down to one byte.
  for (const std::string& tail : {"x"s, "\x1f"s, "\0\0\0\0"s, "\x1f\x8c"s}) {
    EXPECT_EQ(refused(member + tail),
              "damaged gzip data: bytes after the compressed data that start no other gzip "
              "member");
  }
  EXPECT_EQ(refused(member + "\x1f\x8b"),
            "damaged gzip data: the data ends inside a member: "
            "the file is truncated");
  // Told it is gzip, plain text is damaged data.
  EXPECT_EQ(drain("plain\n", 100, {}, 64, GzipSource::Mode::kGzip).error, GzipSource::kDamaged);
}

TEST(GzipSource, ABombIsReadInBoundedPiecesAndItsLongLineCut) {
  // 64 MiB of one byte, about 64 KiB compressed: one line, cut to its head
  // by a cutter of 4 KiB chunks.
  const std::size_t size = std::size_t{64} << 20;
  const std::string input = gzip_member(std::string(size, 'x') + "\n", 9) + gzip_member("next\n");
  ASSERT_LT(input.size(), std::size_t{128} << 10);
  PieceSource raw(input, {});
  GzipSource source(raw);
  cli::ChunkCutter cutter(4096, 16);
  std::vector<char> chunk(4097);
  cli::ChunkFill fill = cutter.next(chunk.data(), source);
  ASSERT_EQ(fill.error, 0);
  EXPECT_TRUE(fill.cut);
  EXPECT_EQ(std::string(chunk.data(), fill.size), std::string(16, 'x') + "\n");
  fill = cutter.next(chunk.data(), source);
  EXPECT_EQ(std::string(chunk.data(), fill.size), "next\n");
  EXPECT_TRUE(fill.end);
}

}  // namespace
}  // namespace cmg290::test
