// Grouping many records into result columns on several threads.
//
// Runs without the GIL: records are read in place (a NumPy block of
// fixed-width items, or str and bytes objects that have been checked and
// are kept alive by the caller), and the text columns receive pointers to
// the shared strings of the vocabulary, whose references the caller takes
// afterwards from the counts handed back.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "record_text.h"
#include "vocabulary.h"

namespace cmg290::python {

// Where record i is.
struct RecordSource {
  std::size_t count = 0;
  // A block of fixed-width items, `stride` bytes apart. As NumPy reads
  // them, zero bytes at an item's end are not part of its value.
  const char* base = nullptr;
  std::ptrdiff_t stride = 0;
  std::size_t itemSize = 0;
  // Or: checked str and bytes objects.
  PyObject* const* objects = nullptr;

  std::string_view at(std::size_t i) const noexcept {
    if (objects != nullptr) return record_bytes(objects[i]);
    const char* item = base + static_cast<std::ptrdiff_t>(i) * stride;
    std::size_t n = itemSize;
    while (n > 0 && item[n - 1] == '\0') --n;
    return {item, n};
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
};

// The motor score text of the grouper (tenths: "48.0", ".7", "-.7") as a
// number.
double motor_value(const char* text) noexcept;

// Writes row `row` of every column from one result; returns false when one
// of its texts is not in the vocabulary (that column's cell is left null).
bool fill_row(const cmg290::Result& r, const Vocabulary& vocabulary, const Columns& columns,
              std::size_t row, std::uint64_t* uses) noexcept;

// Groups every record of `source` on `threads` threads (the calling thread
// among them). Call without the GIL.
GroupingCounts group_columns(const RecordSource& source, const Columns& columns,
                             const Vocabulary& vocabulary, int threads);

// The number of threads for a `workers` argument: -1 means every core this
// process may run on. Throws ValueError for 0 and below -1.
int thread_count(int workers, std::size_t records);

}  // namespace cmg290::python
