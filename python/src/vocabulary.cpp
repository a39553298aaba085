#include "vocabulary.h"

#include <pybind11/pybind11.h>

namespace cmg290::python {

Vocabulary::Vocabulary() {
  const batch::TextKeys& keys = batch::text_keys();
  Py_INCREF(Py_None);
  strings_.push_back(Py_None);
  for (std::size_t k = 1; k < keys.size(); ++k) {
    const auto text = keys.text(static_cast<batch::TextKey>(k));
    PyObject* s = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    if (s == nullptr) throw pybind11::error_already_set();
    strings_.push_back(s);
  }
}

const Vocabulary& vocabulary() {
  // Never destroyed: its strings must outlive every frame that points at
  // them, and the interpreter may already be gone when statics are.
  static const Vocabulary* v = new Vocabulary();
  return *v;
}

}  // namespace cmg290::python
