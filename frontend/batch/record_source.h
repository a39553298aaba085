// Where the records of a batch are: views of bytes held by the caller, a
// block of fixed-width items, or a callback of the caller's own. The
// grouping threads read them through get(), which calls nothing of the
// caller's language runtime unless its callback does.
//
// A source that can read a record only on the caller's thread (its bytes
// must be converted first, which may fail) reports it as not ready; the
// engine leaves that row for the caller to settle afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cmg290/cmg290.h"

namespace cmg290::batch {

// Some byte of `bytes` is above 0x7F.
bool has_high_byte(std::string_view bytes) noexcept;

// Items `stride` bytes apart, each `itemSize` bytes: bytes, or with `wide`
// code points of 4 bytes each in the machine's byte order, every one
// U+00FF or below (the caller checks). Zero units at an item's end are not
// part of its value, as NumPy reads such items.
struct FixedWidth {
  const char* base = nullptr;
  std::ptrdiff_t stride = 0;
  std::size_t itemSize = 0;
  bool wide = false;

  // Code point k of a wide item, which need not be aligned.
  static std::uint32_t code_point(const char* item, std::size_t k) noexcept {
    std::uint32_t c;
    std::memcpy(&c, item + 4 * k, 4);
    return c;
  }
};

// A caller's own reader of record i: sets `record` (in place, or copied to
// `room`, which has room for kRecordLength bytes) and returns true, or
// returns false when the record can be read only on the caller's thread.
// Runs on the grouping threads.
using FetchRecord = bool (*)(const void* context, std::size_t i, char* room,
                             std::string_view& record) noexcept;

struct RecordSource {
  std::size_t count = 0;

  // One of these three:
  // Views, read in place. With `asciiOnly`, a row flagged 1 is read only
  // when it holds no byte above 0x7F, and is otherwise not ready.
  const std::string_view* views = nullptr;
  const unsigned char* asciiOnly = nullptr;
  // A block of fixed-width items, copied (at most kRecordLength bytes).
  FixedWidth block;
  // The caller's reader.
  FetchRecord fetch = nullptr;
  const void* context = nullptr;

  // Whether the source copies its records into the room get() is given
  // (the engine then stages a few rows at a time).
  bool copies() const noexcept { return views == nullptr; }

  // Record i, as above: false when it is not ready.
  bool get(std::size_t i, char* room, std::string_view& record) const noexcept;
};

}  // namespace cmg290::batch
