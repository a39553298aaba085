#include "mapped_cutter.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>

namespace cmg290::cli {

MappedCutter::MappedCutter(WindowArena& arena, std::size_t chunkBytes, std::size_t keepBytes)
    : arena_(arena), chunkBytes_(chunkBytes), keepBytes_(keepBytes) {
  assert(keepBytes >= 1 && keepBytes < chunkBytes);
  assert(arena.window_bytes() >= chunkBytes + WindowArena::page_size() - 1);
}

void MappedCutter::reset(int fd, std::uint64_t start, std::uint64_t end) {
  fd_ = fd;
  pos_ = start;
  end_ = std::max(start, end);
}

const char* MappedCutter::show(std::size_t slot, std::uint64_t from, std::size_t* shown,
                               MappedChunk& fault) {
  const std::uint64_t page = WindowArena::page_size();
  const std::uint64_t mapFrom = from / page * page;
  const std::size_t lead = static_cast<std::size_t>(from - mapFrom);
  *shown = static_cast<std::size_t>(std::min<std::uint64_t>(end_ - from, chunkBytes_));
  const char* const window = arena_.map(slot, fd_, mapFrom, lead + *shown);
  if (window == nullptr) {
    fault.error = errno == 0 ? EIO : errno;
    return nullptr;
  }
  return window + lead;
}

MappedChunk MappedCutter::next(std::size_t slot, char* room) {
  MappedChunk chunk;
  if (pos_ >= end_) return chunk;
  std::size_t shown = 0;
  const char* const data = show(slot, pos_, &shown, chunk);
  if (data == nullptr) return chunk;

  const void* const last = memrchr(data, '\n', shown);
  if (arena_.cut_short(slot)) {
    chunk.cutShort = true;
    arena_.unmap(slot);
    return chunk;
  }
  if (last != nullptr) {
    chunk.data = data;
    chunk.size = static_cast<std::size_t>(static_cast<const char*>(last) - data) + 1;
    chunk.mapped = true;
    pos_ += chunk.size;
    return chunk;
  }
  if (shown < chunkBytes_) {
    // The file's last line, without a line end: left to the reader.
    arena_.unmap(slot);
    return chunk;
  }

  // One line of a whole chunk or more: keep its head, move past its end.
  std::memcpy(room, data, keepBytes_);
  room[keepBytes_] = '\n';
  pos_ += shown;
  skip_line(slot, chunk);
  arena_.unmap(slot);
  if (chunk.error != 0 || chunk.cutShort) return chunk;
  chunk.data = room;
  chunk.size = keepBytes_ + 1;
  chunk.cut = true;
  return chunk;
}

void MappedCutter::skip_line(std::size_t slot, MappedChunk& fault) {
  while (pos_ < end_) {
    std::size_t shown = 0;
    const char* const data = show(slot, pos_, &shown, fault);
    if (data == nullptr) return;
    const void* const nl = std::memchr(data, '\n', shown);
    if (arena_.cut_short(slot)) {
      fault.cutShort = true;
      return;
    }
    if (nl != nullptr) {
      pos_ += static_cast<std::size_t>(static_cast<const char*>(nl) - data) + 1;
      return;
    }
    pos_ += shown;
  }
}

}  // namespace cmg290::cli
