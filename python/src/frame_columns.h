// The columns of a result frame for n rows: the arrays the batch engine
// fills, and the tuple of columns cmg290.group_frame makes a pandas
// DataFrame of once it has.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "batch/batch_rows.h"
#include "batch/record_source.h"
#include "id_column.h"

namespace cmg290::python {

struct FrameColumns {
  FrameColumns(std::size_t rows, bool edits, const std::optional<cli::IdRange>& id);

  // The columns, with the GIL, once grouped: `source` gives the records of
  // the few rows grouped again here. In order: status, description, cmg,
  // tier, ric, motor_score, cognitive_score and its missing mask, age and
  // its missing mask, table_version, grouper_version, the edits (None
  // without), the ids (None without). The texts but the edits and ids are
  // categorical: (codes, categories), a code -1 for a missing value.
  pybind11::tuple finish(const batch::RecordSource& source, const batch::BatchSettings& settings);

  std::size_t n;
  pybind11::array_t<std::int64_t> status, cognitive, age;
  pybind11::array_t<double> motor;
  pybind11::array_t<bool> cognitiveMissing, ageMissing;
  std::vector<batch::TextKey> description, cmg, tier, ric, tableVersion, grouperVersion;
  std::vector<batch::EditKey> editKeys;
  IdCells ids;
  batch::BatchColumns columns;
};

}  // namespace cmg290::python
