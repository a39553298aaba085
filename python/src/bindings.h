// The parts of the native module cmg290._native, one source file each.
#pragma once

#include <pybind11/pybind11.h>

namespace cmg290::python {

void bind_result(pybind11::module_& m);     // Result, group, status_text
void bind_frame(pybind11::module_& m);      // group_columns
void bind_records(pybind11::module_& m);    // read_records
void bind_explain(pybind11::module_& m);    // explain, build_record, LAYOUT
void bind_edits(pybind11::module_& m);      // edits, EDIT_CATALOGUE
void bind_long_form(pybind11::module_& m);  // edit_columns, field_columns
void bind_tier_set(pybind11::module_& m);   // TierSet, load_tier_set, compiled_tier_set

}  // namespace cmg290::python
