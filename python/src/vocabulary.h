// The texts of the batch engine's keys (frontend/batch/text_keys.h) made
// into Python strings once, for the text columns of a result frame, which
// point at these shared strings instead of holding a string per row.
#pragma once

#include <Python.h>

#include <cstddef>
#include <vector>

#include "batch/text_keys.h"

namespace cmg290::python {

class Vocabulary {
 public:
  // Builds every string; needs the GIL. The strings live as long as the
  // process, as the module does. The key kNoText is None.
  Vocabulary();

  std::size_t size() const { return strings_.size(); }
  // The string of a key below size(). Needs no GIL.
  PyObject* string(batch::TextKey key) const { return strings_[key]; }

 private:
  std::vector<PyObject*> strings_;
};

// The vocabulary of this process, built on first use (with the GIL held).
const Vocabulary& vocabulary();

}  // namespace cmg290::python
