// Cutting an input into chunks of whole lines, and a chunk into its lines.
//
// The reader thread fills one chunk buffer after another from the input
// (ChunkCutter); a chunk ends at its last line end and the partial line
// after it is carried over to the next chunk. The grouping threads then
// find the lines of a chunk (LineIndex) and take the text of each
// (line_text). Splitting the two steps lets the line search run in
// parallel on the grouping threads while the reader only moves bytes.
//
// What a line is:
//  * bytes up to a '\n'; a last line without one still counts as a line;
//  * one '\r' in front of the '\n' belongs to the line end (CRLF);
//  * an empty line is a line: it has a number, and an empty text;
//  * a line with chunk_bytes() bytes or more before its '\n' is cut: only
//    its first keep_bytes() bytes are kept, the rest is read past, and its
//    text is those bytes as they are.
//  * any other byte, zero bytes included, is part of the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace cmg290::cli {

// Where a ChunkCutter takes its bytes from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n (at least 1) bytes into buf. Returns how many, 0 at the
  // end of the input, or a negative value to give up, which the cutter
  // hands back in ChunkFill::error.
  virtual long read(char* buf, std::size_t n) = 0;
};

// What ChunkCutter::next() put into a chunk.
struct ChunkFill {
  std::size_t size = 0;  // bytes of whole lines, the last one ending with '\n'; 0: none left
  bool cut = false;      // the chunk holds one line, cut to its first keep_bytes() bytes
  bool end = false;      // the input has ended: no chunk follows this one
  long error = 0;        // the negative value the source gave up with, or 0
};

class ChunkCutter {
 public:
  // chunkBytes: the most input bytes one chunk takes (below 4 GiB, so
  // that LineIndex can note offsets in 32 bits); keepBytes: the head kept
  // of a longer line, at least 1 and below chunkBytes.
  ChunkCutter(std::size_t chunkBytes, std::size_t keepBytes);

  std::size_t chunk_bytes() const { return chunkBytes_; }
  std::size_t keep_bytes() const { return keepBytes_; }

  // Starts on a new input: forgets what was carried over from the last.
  void reset() {
    carried_ = 0;
    ended_ = false;
  }

  // Fills `data`, which has room for chunk_bytes() + 1 bytes (one for the
  // line end given to a last line without one), with the next whole lines
  // of `source`. After an error the cutter must be reset before reuse.
  ChunkFill next(char* data, ByteSource& source);

  // Bytes read from the source that belong to the next chunk.
  std::size_t carried() const { return carried_; }

 private:
  std::size_t chunkBytes_;
  std::size_t keepBytes_;
  std::unique_ptr<char[]> carry_;
  std::size_t carried_ = 0;
  bool ended_ = false;
};

// The line ends of one chunk: counted once, with the offsets of the first
// of them noted so that the lines need not be searched for again. A chunk
// of very many short lines has the rest searched for when they are used.
class LineIndex {
 public:
  explicit LineIndex(std::size_t room);

  // Counts the lines of a chunk whose last byte is '\n' and notes where
  // the first ones end. Returns the number of lines.
  std::size_t build(const char* data, std::size_t size) {
    return build(data, size, [](std::size_t, const char*, const char*) {});
  }

  // build(), calling visit(index, begin, end) for each noted line as soon
  // as its end (the '\n' at `end`) is found, while its bytes are fresh in
  // cache.
  template <typename Visit>
  std::size_t build(const char* data, std::size_t size, Visit&& visit) {
    const char* const end = data + size;
    std::size_t n = 0;
    for (const char* p = data; p < end; ++n) {
      const char* nl =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (n < room_) {
        prefetch_ahead(nl, end);
        ends_[n] = static_cast<std::uint32_t>(nl - data);
        visit(n, p, nl);
      }
      p = nl + 1;
    }
    noted_ = n < room_ ? n : room_;
    return n;
  }

  // Records are read straight from the file's pages, which the processor
  // does not fetch ahead across page ends: while one line is visited, ask
  // for the bytes of the one after the next (lines are mostly records of
  // 1251 characters). Inlined by force: as a call, the compiler finds it
  // free of effects and drops it.
  [[gnu::always_inline]] static void prefetch_ahead(const char* lineEnd, const char* end) {
    constexpr std::ptrdiff_t kAhead = 2048;
    constexpr std::ptrdiff_t kBytes = 1280;
    if (end - lineEnd <= kAhead + kBytes) return;
    for (std::ptrdiff_t k = 0; k < kBytes; k += 64) __builtin_prefetch(lineEnd + kAhead + k);
  }

  // How many line ends build() notes at most.
  std::size_t room() const { return room_; }

  // The '\n' ending line `index` (0-based) of the chunk the index was
  // built for, whose first byte is at `begin`.
  const char* line_end(const char* data, std::size_t size, std::size_t index,
                       const char* begin) const;

 private:
  std::unique_ptr<std::uint32_t[]> ends_;
  std::size_t room_;
  std::size_t noted_ = 0;
};

// The text of the line from `begin` to its line end `end` (the '\n'):
// without a '\r' right before the '\n', except for a cut line, whose kept
// head ends wherever the cut fell.
inline std::string_view line_text(const char* begin, const char* end, bool cut) {
  std::size_t len = static_cast<std::size_t>(end - begin);
  if (!cut && len > 0 && begin[len - 1] == '\r') --len;
  return {begin, len};
}

// Walks the lines of a filled chunk (`size` bytes ending in a line end, `cut`
// as its fill says), numbering every line on from `number`, empty ones too,
// and calls visit(text, number) for each line that has text. Stops at the
// first visit that returns false, and returns false then.
template <typename Number, typename Visit>
bool for_each_text_line(const char* chunk, std::size_t size, bool cut, Number& number,
                        Visit&& visit) {
  const char* p = chunk;
  const char* const end = chunk + size;
  while (p < end) {
    const char* nl =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const std::string_view text = line_text(p, nl, cut);
    p = nl + 1;
    ++number;
    if (!text.empty() && !visit(text, number)) return false;
  }
  return true;
}

}  // namespace cmg290::cli
