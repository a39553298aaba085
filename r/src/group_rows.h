// Grouping many records on several threads into plain arrays, one element
// per record. Nothing here calls R: the records are views taken on R's
// thread beforehand, and the text outputs are small keys that R's thread
// turns into strings afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cmg290/cmg290.h"
#include "motor_number.h"

namespace cmg290 {
class TierSet;
}

namespace cmg290::r {

// How the records are grouped. Settings that change the grouping itself
// (tier-table sets today) come here, so that every entry passes them on
// the same way.
struct GroupSettings {
  const cmg290::TierSet* tierSet = nullptr;  // null: the compiled-in lists
};

cmg290::Result group_one(std::string_view record, const GroupSettings& settings) noexcept;

// The CMG text as a key: tier letter (0-3 for A-D) * 10001 + the code
// (0-9999), or + 10000 for the letter alone; kNoCmg when not grouped, and
// kOddCmg for a text of another shape (the row is grouped again on R's
// thread to find it).
inline constexpr int kNoCmg = -1;
inline constexpr int kOddCmg = -2;
// Not grouped: the record's bytes must be converted first (on R's thread).
inline constexpr int kUnsettled = -3;
inline constexpr int kCmgKeys = 4 * 10001;
int cmg_key(const char* text) noexcept;

// Destinations, each with room for every record. R's NA_integer_ and
// NA_real_ are passed in, so that this file needs no R header.
struct RowColumns {
  int* status;
  double* motorScore;
  int* cognitiveScore;
  int* age;
  int* cmgKey;
  std::uint32_t* tableVersion;    // the four characters, as read by memcpy
  std::uint32_t* grouperVersion;  // the same
  std::uint64_t* editKeys;        // null: no edits asked for (edit_keys.h)
  int naInteger;
  double naReal;
};

// The motor score's text as a number (shared with the other front ends).
using cli::motor_number;

// Writes row `row` from one result; outputs the grouping did not reach are
// NA.
void fill_row(const cmg290::Result& r, const RowColumns& c, std::size_t row) noexcept;

// Groups one record into row `row`, with its edits when asked for.
void group_row(std::string_view record, const GroupSettings& settings, const RowColumns& c,
               std::size_t row) noexcept;

// Takes the rows grouped so far, on the calling thread, while the other
// threads go on grouping: rows(begin, end) is called in row order, once for
// each row, and must neither throw nor stop the thread (R's errors do).
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void rows(std::size_t begin, std::size_t end) noexcept = 0;
};

// Groups records[0 .. count-1] on `threads` threads, the calling thread
// among them (fewer when the system gives no more). A record flagged in
// `unchecked` that holds a byte above 0x7F is left with the CMG key
// kUnsettled and nothing else written. Every row has been handed to `sink`
// when it returns.
void group_rows(const std::string_view* records, const unsigned char* unchecked, std::size_t count,
                const GroupSettings& settings, const RowColumns& columns, int threads,
                RowSink& sink);

// The threads for a `workers` value (checked: -1 or 1 and above): -1 means
// every core this process may run on; never more than the records make
// worth it.
int thread_count(int workers, std::size_t records);

}  // namespace cmg290::r
