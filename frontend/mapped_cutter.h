// Cutting the part of a regular file that is there when a run starts into
// chunks of whole lines shown in place, through the windows of a
// WindowArena, with no copy.
//
// The chunks are the ones a ChunkCutter of the same sizes makes (see
// chunk_cutter.h for what a line is): a chunk holds at most chunkBytes bytes
// and ends at its last line end; a line of chunkBytes bytes or more before
// its line end is cut to its first keepBytes bytes, which are copied out.
// The file's last line, when it has no line end, is left to a ChunkCutter
// that reads on from position(), with anything written to the file since.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mapped_window.h"

namespace cmg290::cli {

struct MappedChunk {
  const char* data = nullptr;  // in the window, or a cut line's head in the caller's room
  std::size_t size = 0;        // 0: nothing more here, read on from position()
  bool cut = false;            // the head of a line longer than a chunk, copied out
  bool mapped = false;         // data lies in the window, which the caller empties when done
  int error = 0;               // errno of a window that could not be mapped
  bool cutShort = false;       // the file ended before the bytes it had when the run began
};

class MappedCutter {
 public:
  // The arena's windows must show chunkBytes bytes from any offset in a
  // page: window_bytes() >= chunkBytes + page_size() - 1.
  MappedCutter(WindowArena& arena, std::size_t chunkBytes, std::size_t keepBytes);

  // Starts on file `fd`, bytes [start, end).
  void reset(int fd, std::uint64_t start, std::uint64_t end);

  // The next chunk, shown in window `slot`; a cut line's head goes to
  // `room` (keepBytes + 1 bytes) instead, and the window is emptied.
  MappedChunk next(std::size_t slot, char* room);

  // The first byte not yet cut into chunks.
  std::uint64_t position() const { return pos_; }

 private:
  // Shows up to chunkBytes bytes from `from` in window `slot`; *shown
  // receives how many.
  const char* show(std::size_t slot, std::uint64_t from, std::size_t* shown, MappedChunk& fault);

  // Moves past the end of the line whose first chunkBytes bytes have been
  // seen, looking for it window by window.
  void skip_line(std::size_t slot, MappedChunk& fault);

  WindowArena& arena_;
  std::size_t chunkBytes_;
  std::size_t keepBytes_;
  int fd_ = -1;
  std::uint64_t pos_ = 0;
  std::uint64_t end_ = 0;
};

}  // namespace cmg290::cli
