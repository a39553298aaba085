// Records held by Python objects: a str (one character per position, each
// U+0000 to U+00FF) or a bytes object, both read in place.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string_view>

namespace cmg290::python {

// Checks that `object` can be read as a record. Throws TypeError for
// anything but str and bytes, ValueError for a str holding a character
// above U+00FF. `name` is how the message refers to the object ("record");
// with `index` >= 0 it is taken as a sequence and the element named
// "name[index]".
void check_record_object(PyObject* object, const char* name, std::ptrdiff_t index = -1);

// Throws the ValueError of check_record_object for character `c` at
// `position` (0-based) of the record named by `name` and `index`.
[[noreturn]] void throw_above_latin1(const char* name, std::ptrdiff_t index, Py_UCS4 c,
                                     std::size_t position);

// The record's bytes, for an object that passed check_record_object. Reads
// only immutable fields of the object, so it needs no GIL as long as a
// reference to the object is held.
inline std::string_view record_bytes(PyObject* object) noexcept {
  if (PyBytes_Check(object)) {
    return {PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))};
  }
  return {reinterpret_cast<const char*>(PyUnicode_1BYTE_DATA(object)),
          static_cast<std::size_t>(PyUnicode_GET_LENGTH(object))};
}

}  // namespace cmg290::python
