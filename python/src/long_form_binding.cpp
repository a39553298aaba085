// cmg290._native.edit_columns and field_columns: the columns of
// cmg290.edits_frame (every edit of many records, one row each, found on
// the grouping threads) and of cmg290.fields (fields by their layout
// names).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/edit_rows.h"
#include "batch/record_fields.h"
#include "bindings.h"
#include "id_column.h"
#include "record_input.h"
#include "short_texts.h"
#include "tier_set_arg.h"
#include "workers.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

py::array object_column(std::size_t n) {
  // NumPy fills a new object array with null pointers, which every row
  // then replaces.
  return py::array(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)},
                   std::vector<py::ssize_t>{});
}

PyObject** objects(py::array& a) {
  return static_cast<PyObject**>(a.mutable_data());
}

void put(PyObject** column, std::size_t row, PyObject* text) {
  if (text == nullptr) throw py::error_already_set();
  column[row] = text;
}

// The record column of edits_frame: each edit's row, or with an id the id
// of its record, one str per record however many edits it has.
py::array record_column(const batch::EditRows& rows, const IdCells& ids) {
  const std::size_t n = rows.size();
  if (ids.ids.data == nullptr) {
    py::array_t<std::int64_t> record(n);
    std::int64_t* at = record.mutable_data();
    std::size_t k = 0;
    rows.each([&](const batch::RowEdit& e) { at[k++] = static_cast<std::int64_t>(e.row); });
    return record;
  }
  py::array record = object_column(n);
  PyObject** at = objects(record);
  std::size_t k = 0, lastRow = 0;
  PyObject* last = nullptr;
  rows.each([&](const batch::RowEdit& e) {
    if (last == nullptr || e.row != lastRow) {
      last = ids.cell(e.row);
      lastRow = e.row;
    } else {
      Py_INCREF(last);
    }
    at[k++] = last;
  });
  return record;
}

py::tuple edit_columns(const py::handle& records, const py::handle& workers,
                       const py::handle& tierSet, const py::handle& idArgument) {
  const int asked = workers_argument(workers.ptr());
  const std::shared_ptr<const cmg290::TierSet> keepSet = tier_set_argument(tierSet);
  batch::BatchSettings settings;
  settings.tierSet = grouping_set(keepSet);
  const std::optional<cli::IdRange> id = id_argument(idArgument);
  const RecordInput in = record_input(records, ElementNames{});
  settings.threads = thread_count(asked, in.source.count);
  batch::EditRows rows(in.source.count);
  const IdCells ids(id, in.source.count);
  {
    py::gil_scoped_release release;
    // Every record a Python source holds is ready: none is left.
    batch::find_batch_edits(in.source, settings, rows, ids.ids);
    rows.finish();
  }

  const std::size_t n = rows.size();
  py::array record = record_column(rows, ids);
  py::array_t<std::int8_t> code(n), severity(n), field(n);
  py::array values = object_column(n), messages = object_column(n);
  std::int8_t* codeAt = code.mutable_data();
  std::int8_t* severityAt = severity.mutable_data();
  std::int8_t* fieldAt = field.mutable_data();
  PyObject** valueAt = objects(values);
  PyObject** messageAt = objects(messages);
  ShortTexts texts;
  std::size_t k = 0;
  rows.each([&](const batch::RowEdit& e) {
    codeAt[k] = static_cast<std::int8_t>(e.edit.id);
    severityAt[k] = static_cast<std::int8_t>(e.edit.severity());
    fieldAt[k] = e.edit.field;  // -1, the record as a whole, is a missing category
    put(valueAt, k, texts.get(e.edit.value_text()));
    char message[cmg290::kEditMessageMax];
    const std::size_t length = cmg290::write_edit_message(e.edit, message);
    put(messageAt, k, texts.get({message, length}));
    ++k;
  });
  return py::make_tuple(record, code, severity, field, values, messages);
}

// A names argument: one str, or a list or tuple of them.
std::vector<std::string> names_argument(const py::handle& names) {
  if (PyUnicode_Check(names.ptr())) return {names.cast<std::string>()};
  if (!PyList_Check(names.ptr()) && !PyTuple_Check(names.ptr())) {
    throw py::type_error(std::string("names must be a str or a list of str, not ") +
                         Py_TYPE(names.ptr())->tp_name);
  }
  std::vector<std::string> out;
  for (const py::handle& name : names) {
    if (!PyUnicode_Check(name.ptr())) {
      throw py::type_error(std::string("names: each name must be a str, not ") +
                           Py_TYPE(name.ptr())->tp_name);
    }
    out.push_back(name.cast<std::string>());
  }
  return out;
}

py::tuple field_columns(const py::handle& records, const py::handle& namesArgument) {
  std::vector<const cmg290::FieldLayout*> fields;
  try {
    fields = batch::named_fields(names_argument(namesArgument));
  } catch (const std::invalid_argument& e) {
    throw py::value_error(e.what());
  }
  const RecordInput in = record_input(records, ElementNames{});
  const std::size_t n = in.source.count;
  std::vector<py::array> columns;
  std::vector<PyObject**> at;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    columns.push_back(object_column(n));
    at.push_back(objects(columns.back()));
  }
  std::vector<ShortTexts> texts(fields.size());
  char room[cmg290::kRecordLength];
  for (std::size_t i = 0; i < n; ++i) {
    std::string_view record;
    in.source.get(i, room, record);  // every Python source is ready
    for (std::size_t f = 0; f < fields.size(); ++f) {
      put(at[f], i, texts[f].get(batch::field_text(record, *fields[f])));
    }
  }
  py::list names;
  for (const cmg290::FieldLayout* f : fields) names.append(py::str(f->name.data(), f->name.size()));
  return py::make_tuple(names, py::cast(columns));
}

}  // namespace

void bind_long_form(py::module_& m) {
  m.def("edit_columns", &edit_columns, py::arg("records"), py::arg("workers") = -1,
        py::arg("tier_set") = py::none(), py::arg("id") = py::none(),
        "Every edit of many records, one row each, as the columns record (0-based\n"
        "position, int64; with an id (start, length) the record's id, str), code, severity and "
        "field (int8 codes into EDIT_CATALOGUE's\n"
        "order, error/warning and LAYOUT's order; field -1 for the record as a whole),\n"
        "value and message (objects). Used by cmg290.edits_frame.");
  m.def("field_columns", &field_columns, py::arg("records"), py::arg("names"),
        "The named fields of many records: (names, columns of str). Used by\n"
        "cmg290.fields.");
}

}  // namespace cmg290::python
