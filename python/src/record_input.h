// The records argument of group_frame, turned into a record source of the
// batch engine that can be read without the GIL.
#pragma once

#include <pybind11/pybind11.h>

#include "batch/record_source.h"

namespace cmg290::python {

// The records and what keeps them alive while the GIL is released: a NumPy
// array, or a sequence of objects that only this call holds (a list could
// be changed by another thread meanwhile).
struct RecordInput {
  pybind11::object keep;
  batch::RecordSource source;
};

// How messages name a bad element: "records[17]" by its position, or with
// `labels` (a pandas Index) "series.loc['id17']" by its label.
struct ElementNames {
  const char* name = "records";
  pybind11::handle labels;
};

// Checks every element of `records` (a list or tuple of str and bytes, a
// one-dimensional NumPy array of dtype S, U or object, a masked array with
// nothing masked) before anything is grouped. Throws TypeError for an
// element that is not str or bytes or is masked, ValueError for a
// character above U+00FF, both naming the element.
RecordInput record_input(const pybind11::handle& records, const ElementNames& names);

}  // namespace cmg290::python
