// The edits column of a result frame: the codes of each record's edits
// joined with ";" ("comorbid-code-form;item-value", "" for none).
//
// Grouping threads find each record's edits without the GIL and note, per
// row, a slot in a table of their own that holds the distinct lists of codes
// the thread has seen (few: most records raise none or one of a handful).
// The strings are made afterwards, with the GIL, one per distinct list, and
// every row of that list points at it.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cmg290/edits.h"

namespace cmg290::python {

// The distinct lists of codes one thread has seen, each by a key of one
// byte per edit (its EditCode), in the order of the record's edits.
class EditTexts {
 public:
  static constexpr std::uint32_t kNone = 0;  // the slot of a record without edits

  EditTexts();

  // The slot of the list of codes of `edits`, added when new.
  std::uint32_t slot(const cmg290::Edits& edits);

  std::size_t size() const { return keys_.size(); }
  const std::string& key(std::uint32_t slot) const { return keys_[slot]; }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>()(s);
    }
  };
  std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> slots_;
  std::vector<std::string> keys_;
};

// The codes of a key joined with ";", as cmg290::write_edit_codes writes them.
std::string joined_codes(std::string_view key);

// Rows first..last-1, whose edits one thread found.
struct RowRun {
  std::size_t first;
  std::size_t last;
};

struct ThreadEdits {
  EditTexts texts;
  std::vector<RowRun> runs;
};

struct EditColumn {
  std::uint32_t* slots = nullptr;    // per row: its slot in its thread's texts
  std::vector<ThreadEdits> threads;  // one per grouping thread
};

// Points every row of `column` (a NumPy object array, its cells null) at
// the string of its codes, one string per distinct text. Needs the GIL.
void fill_edit_column(const EditColumn& edits, PyObject** column);

}  // namespace cmg290::python
