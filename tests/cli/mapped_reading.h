// Reads a text from a file the way `cmg290 group` reads a regular file:
// what is there through MappedCutter, whatever is left with ChunkCutter from
// where it stopped. Shared by the in-place reader's tests and fuzz target.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/line_reading.h"
#include "mapped_cutter.h"

namespace cmg290::test {

struct InPlaceReading {
  std::vector<ReadLine> lines;
  std::string fault;  // a chunk broke the cutter's promises; empty if none
};

// The lines of `text`, held in file `fd`, from byte `start` on, through
// windows 0 and 1 of the arena.
inline InPlaceReading read_in_place(cli::WindowArena& arena, int fd, std::string_view text,
                                    std::size_t start, std::size_t chunk, std::size_t keep) {
  InPlaceReading r;
  cli::MappedCutter cutter(arena, chunk, keep);
  cutter.reset(fd, start, text.size());
  std::vector<char> room(keep + 1);
  std::int64_t number = 1;
  for (std::size_t slot = 0;; slot = 1 - slot) {
    const cli::MappedChunk m = cutter.next(slot, room.data());
    if (m.error != 0 || m.cutShort) {
      r.fault = "a window that could not be read";
      return r;
    }
    if (m.size == 0) break;
    if (m.size > chunk || m.data[m.size - 1] != '\n' || m.mapped == m.cut) {
      r.fault = "a chunk too long, not ending with a line end, or both mapped and cut";
      return r;
    }
    for (const char* p = m.data; p < m.data + m.size;) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', m.data + m.size - p));
      r.lines.push_back({number++, std::string(cli::line_text(p, nl, m.cut)), m.cut});
      p = nl + 1;
    }
    if (m.mapped) arena.unmap(slot);
  }
  PieceSource rest(text.substr(cutter.position()), {});
  const Reading tail = read_lines(rest, chunk, keep, 4);
  if (!tail.fault.empty()) r.fault = tail.fault;
  for (ReadLine line : tail.lines) {
    line.number = number++;
    r.lines.push_back(line);
  }
  return r;
}

}  // namespace cmg290::test
