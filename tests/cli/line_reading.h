// Reads a whole text through ChunkCutter and LineIndex the way `cmg290
// group` does, one chunk after the other, and splits the same text the
// plain way, so that the two can be compared. Shared by the line reader's
// unit tests and its fuzz target.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "chunk_cutter.h"

namespace cmg290::test {

struct ReadLine {
  std::int64_t number;  // 1-based
  std::string text;
  bool cut;
  bool operator==(const ReadLine&) const = default;
};

// Hands out a text in reads whose sizes cycle through `sizes` (each at
// least 1, cut to what is asked for and what is left), and gives up with -1
// once `failAt` bytes have been handed out, if that is inside the text.
class PieceSource : public cli::ByteSource {
 public:
  PieceSource(std::string_view text, std::vector<std::size_t> sizes,
              std::size_t failAt = std::string_view::npos)
      : text_(text), sizes_(std::move(sizes)), failAt_(failAt) {
    if (sizes_.empty()) sizes_.push_back(text_.size() + 1);
  }

  long read(char* buf, std::size_t n) override {
    ++reads_;
    if (pos_ >= failAt_ && failAt_ < text_.size()) return -1;
    std::size_t take = std::max<std::size_t>(1, sizes_[next_++ % sizes_.size()]);
    take = std::min({take, n, text_.size() - pos_, failAt_ - pos_});
    std::memcpy(buf, text_.data() + pos_, take);
    pos_ += take;
    return static_cast<long>(take);
  }

  std::size_t handed_out() const { return pos_; }
  std::size_t reads() const { return reads_; }

 private:
  std::string_view text_;
  std::vector<std::size_t> sizes_;
  std::size_t failAt_;
  std::size_t next_ = 0;
  std::size_t pos_ = 0;
  std::size_t reads_ = 0;
};

struct Reading {
  std::vector<ReadLine> lines;
  // For each chunk: the number of its last line and the input bytes read up
  // to the end of that line (what the progress display is given).
  std::vector<std::pair<std::int64_t, std::size_t>> chunkEnds;
  long error = 0;
  bool ended = false;  // the cutter reported the end of the input
  std::string fault;   // a chunk broke the cutter's promises; empty if none
};

// Reads everything `source` hands out, through chunk buffers that are
// reused with the last chunk's bytes still in them, as in the tool.
inline Reading read_lines(PieceSource& source, std::size_t chunkBytes, std::size_t keepBytes,
                          std::size_t noted) {
  Reading r;
  cli::ChunkCutter cutter(chunkBytes, keepBytes);
  cli::LineIndex index(noted);
  std::vector<std::vector<char>> buffers(3, std::vector<char>(chunkBytes + 1, '\n'));
  std::int64_t number = 1;
  for (std::size_t chunk = 0;; ++chunk) {
    char* const data = buffers[chunk % buffers.size()].data();
    const cli::ChunkFill fill = cutter.next(data, source);
    if (fill.error != 0) {
      r.error = fill.error;
      return r;
    }
    r.ended = fill.end;
    if (fill.size == 0) {
      if (!fill.end) r.fault = "an empty chunk before the end";
      return r;
    }
    if (fill.size > chunkBytes + 1 || data[fill.size - 1] != '\n') {
      r.fault = "a chunk that does not end with a line end, or overruns its buffer";
      return r;
    }
    if (fill.cut && (fill.size != keepBytes + 1 || std::memchr(data, '\n', keepBytes))) {
      r.fault = "a cut chunk that is not one head of keepBytes";
      return r;
    }
    const std::size_t lines = index.build(data, fill.size);
    const char* p = data;
    for (std::size_t i = 0; i < lines; ++i) {
      const char* nl = index.line_end(data, fill.size, i, p);
      if (nl == nullptr || nl < p || *nl != '\n') {
        r.fault = "a line end that is not a line end";
        return r;
      }
      r.lines.push_back({number++, std::string(cli::line_text(p, nl, fill.cut)), fill.cut});
      p = nl + 1;
    }
    if (p != data + fill.size) {
      r.fault = "lines that do not cover their chunk";
      return r;
    }
    r.chunkEnds.emplace_back(number - 1, source.handed_out() - cutter.carried());
    if (fill.end) return r;
  }
}

// The lines of a whole text, split at each '\n' with one '\r' before it
// dropped; a line with chunkBytes bytes or more before its line end is cut
// to its first keepBytes bytes instead. `after` receives, per line, the
// offset just past its line end.
inline std::vector<ReadLine> split_lines(std::string_view text, std::size_t chunkBytes,
                                         std::size_t keepBytes,
                                         std::vector<std::size_t>* after = nullptr) {
  std::vector<ReadLine> lines;
  std::int64_t number = 1;
  for (std::size_t pos = 0; pos < text.size(); ++number) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string line(text.substr(pos, nl - pos));
    const bool cut = line.size() >= chunkBytes;
    if (cut) {
      line.resize(keepBytes);
    } else if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back({number, line, cut});
    pos = std::min(nl + 1, text.size());
    if (after != nullptr) after->push_back(pos);
  }
  return lines;
}

}  // namespace cmg290::test
