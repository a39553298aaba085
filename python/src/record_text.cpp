#include "record_text.h"

#include <pybind11/pybind11.h>

#include <cstdio>
#include <string>

namespace cmg290::python {

namespace {

std::string element_name(const char* name, std::ptrdiff_t index) {
  std::string s(name);
  if (index >= 0) s += "[" + std::to_string(index) + "]";
  return s;
}

}  // namespace

void check_record_object(PyObject* object, const char* name, std::ptrdiff_t index) {
  if (PyBytes_Check(object)) return;
  if (!PyUnicode_Check(object)) {
    throw pybind11::type_error(element_name(name, index) + " is " + Py_TYPE(object)->tp_name +
                               ", expected str or bytes");
  }
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(object) != 0) throw pybind11::error_already_set();
#endif
  // CPython keeps a str whose characters all fit in one byte as one byte
  // per character; any wider kind holds a character above U+00FF.
  if (PyUnicode_KIND(object) == PyUnicode_1BYTE_KIND) return;
  const int kind = PyUnicode_KIND(object);
  const void* data = PyUnicode_DATA(object);
  const Py_ssize_t length = PyUnicode_GET_LENGTH(object);
  for (Py_ssize_t i = 0; i < length; ++i) {
    const Py_UCS4 c = PyUnicode_READ(kind, data, i);
    if (c > 0xFF) throw_above_latin1(name, index, c, static_cast<std::size_t>(i));
  }
}

void throw_above_latin1(const char* name, std::ptrdiff_t index, Py_UCS4 c, std::size_t position) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  std::string text;
  // A lone surrogate has no UTF-8 form, nor has a code past U+10FFFF.
  if ((c < 0xD800 || c > 0xDFFF) && c <= 0x10FFFF) {
    PyObject* one = PyUnicode_FromOrdinal(static_cast<int>(c));
    if (one != nullptr) {
      if (const char* utf8 = PyUnicode_AsUTF8(one)) text = std::string("'") + utf8 + "' ";
      Py_DECREF(one);
    }
    PyErr_Clear();
  }
  throw pybind11::value_error(element_name(name, index) + ": character " + text + "(" + code +
                              ") at position " + std::to_string(position + 1) +
                              " is above U+00FF; a record holds one byte per position");
}

}  // namespace cmg290::python
