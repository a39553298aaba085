// The few distinct texts a grouping result can hold (status descriptions,
// CMGs, table and grouper versions), made into Python strings once.
//
// Text columns of a result frame point at these shared strings instead of
// holding a string per row. Grouping threads look texts up here without
// the GIL and only count how often they hand out each string; the
// references are taken afterwards, with the GIL, one addition per string.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cmg290::python {

class Vocabulary {
 public:
  // Slot of None, for results the grouping did not reach.
  static constexpr int kNone = 0;

  // Builds every string; needs the GIL. The strings live as long as the
  // process, as the module does.
  Vocabulary();

  std::size_t size() const { return strings_.size(); }
  PyObject* string(int slot) const { return strings_[static_cast<std::size_t>(slot)]; }

  // Slots of the texts the grouper writes; -1 for a text not known here.
  // None of them needs the GIL.
  int description(int status) const;
  int cmg(const char* text) const;
  int table_version(const char* text) const;
  int grouper_version(const char* text) const;

 private:
  int add(const char* text);

  std::vector<PyObject*> strings_;
  int firstDescription_ = 0;
  int unknownStatus_ = 0;
  int firstTableVersion_ = 0;
  int grouperVersion_ = 0;
  int firstTierLetter_ = 0;              // "A" .. "D": no CMG row fits
  int firstCmg_ = 0;                     // tier letter major, CMG code minor
  std::vector<std::int16_t> codeIndex_;  // CMG code 0000..9999 -> its index, or -1
  int codes_ = 0;
};

// The vocabulary of this process, built on first use (with the GIL held).
const Vocabulary& vocabulary();

}  // namespace cmg290::python
