// A record's id: the stretch of its positions START to START+LENGTH-1
// (1-based) that the caller names, copied beside its result so that the
// results can be joined back to the records (`cmg290 group --id`, the
// Python module's and the R package's `id`).
//
// A record that ends before the id does gives what it holds of it; the
// positions past its end read as blanks, as they do in grouping, so that
// every id has LENGTH characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cmg290::cli {

struct IdRange {
  std::size_t start = 0;  // 0-based
  std::size_t length = 0;

  // What `record` holds of the id: at most `length` bytes, fewer (or none)
  // when the record ends within or before it.
  std::string_view cut(std::string_view record) const noexcept {
    return record.size() > start ? record.substr(start, length) : std::string_view();
  }

  // Writes the id of `record` into out[0, length), blank-filled.
  void put(std::string_view record, char* out) const noexcept;
};

// Checks a START (1-based) and LENGTH: "" when both are 1 or more, LENGTH
// is at most `longest` and the id ends by position `lastEnd`; otherwise
// the text of what is wanted, for the caller's message.
std::string check_id_range(std::size_t start, std::size_t length, std::size_t longest,
                           std::size_t lastEnd);

}  // namespace cmg290::cli
