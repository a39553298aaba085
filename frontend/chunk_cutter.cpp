#include "chunk_cutter.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace cmg290::cli {

ChunkCutter::ChunkCutter(std::size_t chunkBytes, std::size_t keepBytes)
    : chunkBytes_(chunkBytes), keepBytes_(keepBytes), carry_(new char[chunkBytes]) {
  assert(keepBytes >= 1 && keepBytes < chunkBytes && chunkBytes <= UINT32_MAX);
}

ChunkFill ChunkCutter::next(char* data, ByteSource& source) {
  ChunkFill fill;
  if (ended_) {
    fill.end = true;
    return fill;
  }
  // Start with the line carried over from the last chunk, then read until
  // the chunk is full or the input ends.
  std::memcpy(data, carry_.get(), carried_);
  std::size_t size = carried_;
  carried_ = 0;
  bool eof = false;
  while (size < chunkBytes_ && !eof) {
    const long got = source.read(data + size, chunkBytes_ - size);
    if (got < 0) {
      fill.error = got;
      return fill;
    }
    if (got == 0) eof = true;
    size += static_cast<std::size_t>(got);
  }

  if (eof) {
    ended_ = true;
    fill.end = true;
    if (size > 0 && data[size - 1] != '\n') data[size++] = '\n';
    fill.size = size;
    return fill;
  }

  // A full chunk: it ends at its last line end, the rest goes to the next.
  if (const void* last = memrchr(data, '\n', size)) {
    fill.size = static_cast<std::size_t>(static_cast<const char*>(last) - data) + 1;
    carried_ = size - fill.size;
    std::memcpy(carry_.get(), data + fill.size, carried_);
    return fill;
  }

  // One line longer than a whole chunk. Only its head matters (the record
  // positions and the id): keep that, skip to the line's end.
  for (;;) {
    const long got = source.read(carry_.get(), chunkBytes_);
    if (got < 0) {
      fill.error = got;
      return fill;
    }
    if (got == 0) {
      ended_ = true;
      fill.end = true;
      break;
    }
    const std::size_t n = static_cast<std::size_t>(got);
    if (const void* nl = std::memchr(carry_.get(), '\n', n)) {
      const std::size_t after =
          static_cast<std::size_t>(static_cast<const char*>(nl) - carry_.get()) + 1;
      carried_ = n - after;
      std::memmove(carry_.get(), carry_.get() + after, carried_);
      break;
    }
  }
  data[keepBytes_] = '\n';
  fill.size = keepBytes_ + 1;
  fill.cut = true;
  return fill;
}

LineIndex::LineIndex(std::size_t room) : ends_(new std::uint32_t[room]), room_(room) {}

const char* LineIndex::line_end(const char* data, std::size_t size, std::size_t index,
                                const char* begin) const {
  if (index < noted_) return data + ends_[index];
  return static_cast<const char*>(
      std::memchr(begin, '\n', static_cast<std::size_t>(data + size - begin)));
}

}  // namespace cmg290::cli
