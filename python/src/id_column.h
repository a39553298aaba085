// The id argument of group_frame and edits_frame, and the str cells of the
// ids the grouping threads cut (frontend/record_id.h).
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "batch/batch_rows.h"
#include "record_id.h"

namespace cmg290::python {

// An id argument: None, or (start, length), two integers, start 1-based,
// the id ending by position 1251, the last one a record is held to here.
// TypeError for another type, ValueError for numbers out of range.
std::optional<cli::IdRange> id_argument(const pybind11::handle& id);

// Room for the ids of n rows, and the engine's column pointing into it
// (no room and a null column without an id).
struct IdCells {
  IdCells(const std::optional<cli::IdRange>& range, std::size_t n);

  // Row i's id as a new str, its bytes read as Latin-1.
  PyObject* cell(std::size_t i) const;
  // Every row's id as an object array; None without an id.
  pybind11::object column() const;

  std::vector<char> bytes;
  batch::IdColumn ids;
  std::size_t rows;
};

}  // namespace cmg290::python
