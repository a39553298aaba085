// Grouping many records into result columns on several threads.
//
// Runs without the GIL: records are read in place (a NumPy block of
// fixed-width items, or str and bytes objects that have been checked and
// are kept alive by the caller), and the text columns receive pointers to
// the shared strings of the vocabulary, whose references the caller takes
// afterwards from the counts handed back.
#pragma once

#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/tier_set.h"
#include "edit_column.h"
#include "motor_number.h"
#include "record_text.h"
#include "vocabulary.h"

namespace cmg290::python {

// Where record i is.
struct RecordSource {
  std::size_t count = 0;
  // A block of fixed-width items, `stride` bytes apart: bytes, or with
  // `wide` code points of 4 bytes each (NumPy's U arrays, in the machine's
  // byte order, every one checked to be U+00FF or below). As NumPy reads
  // them, zero units at an item's end are not part of its value.
  const char* base = nullptr;
  std::ptrdiff_t stride = 0;
  std::size_t itemSize = 0;
  bool wide = false;
  // Or: checked str and bytes objects.
  PyObject* const* objects = nullptr;

  // Copies record i, up to kRecordLength bytes of it, to `to`; returns how
  // many bytes it wrote. Needs no GIL.
  std::size_t copy(std::size_t i, char* to) const noexcept {
    if (objects != nullptr) return copy_bytes(record_bytes(objects[i]), to);
    const char* item = base + static_cast<std::ptrdiff_t>(i) * stride;
    if (!wide) {
      std::size_t n = itemSize;
      while (n > 0 && item[n - 1] == '\0') --n;
      return copy_bytes({item, n}, to);
    }
    std::size_t n = itemSize / 4;
    while (n > 0 && code_point(item, n - 1) == 0) --n;
    n = std::min(n, cmg290::kRecordLength);
    for (std::size_t k = 0; k < n; ++k) to[k] = static_cast<char>(code_point(item, k));
    return n;
  }

  static std::uint32_t code_point(const char* item, std::size_t k) noexcept {
    std::uint32_t c;
    std::memcpy(&c, item + 4 * k, 4);  // items need not be aligned
    return c;
  }

 private:
  static std::size_t copy_bytes(std::string_view r, char* to) noexcept {
    const std::size_t n = std::min(r.size(), cmg290::kRecordLength);
    std::memcpy(to, r.data(), n);
    return n;
  }
};

// Row-major destinations, one element per record.
struct Columns {
  std::int64_t* status;
  PyObject** description;
  PyObject** cmg;
  double* motorScore;  // NaN where not reached
  std::int64_t* cognitiveScore;
  bool* cognitiveMissing;
  std::int64_t* age;
  bool* ageMissing;
  PyObject** tableVersion;
  PyObject** grouperVersion;
};

struct GroupingCounts {
  std::vector<std::uint64_t> uses;  // per vocabulary slot: rows pointing at its string
  std::uint64_t unknownTexts = 0;   // rows left with a null text: not in the vocabulary
  // Set when a thread failed (memory ran out): rows it did not reach are
  // left null, and the caller raises it once it has taken the references
  // counted in `uses`.
  std::exception_ptr failure;
};

// The motor score's text as a number (shared with the other front ends).
using cli::motor_number;

// Writes row `row` of every column from one result; returns false when one
// of its texts is not in the vocabulary (that column's cell is left null).
bool fill_row(const cmg290::Result& r, const Vocabulary& vocabulary, const Columns& columns,
              std::size_t row, std::uint64_t* uses) noexcept;

// Groups every record of `source` on `threads` threads (the calling thread
// among them), with the lists of `set`, or the compiled-in ones when it is
// null. With `edits`, finds each record's edits too, with the same lists,
// into its slots and one ThreadEdits per thread. Call without the GIL.
GroupingCounts group_columns(const RecordSource& source, const Columns& columns,
                             const Vocabulary& vocabulary, int threads,
                             const cmg290::TierSet* set = nullptr, EditColumn* edits = nullptr);

// The number of threads for a `workers` argument: -1 means every core this
// process may run on. Throws ValueError for 0 and below -1.
int thread_count(int workers, std::size_t records);

// A `workers` argument as an int, checked before anything else is looked
// at: TypeError for anything that is not an integer (operator.index),
// ValueError for 0 and below -1; numbers past INT_MAX are INT_MAX.
int workers_argument(PyObject* workers);

}  // namespace cmg290::python
