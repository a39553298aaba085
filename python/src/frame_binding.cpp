// cmg290._native.group_columns: the columns of a result frame for many
// records; cmg290.group_frame puts them into a pandas DataFrame.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstring>
#include <string>
#include <vector>

#include "bindings.h"
#include "group_columns.h"
#include "record_text.h"
#include "vocabulary.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// The records of `records` and what keeps them alive while the GIL is
// released: the NumPy array itself, or a sequence of objects that only
// this call holds (a list could be changed by another thread meanwhile).
struct Input {
  py::object keep;
  RecordSource source;
};

Input input_of(const py::handle& records) {
  Input in;
  if (py::isinstance<py::array>(records)) {
    py::array a = py::reinterpret_borrow<py::array>(records);
    if (a.ndim() != 1) {
      throw py::value_error("records must be a one-dimensional array, not " +
                            std::to_string(a.ndim()) + "-dimensional");
    }
    const char kind = a.dtype().kind();
    if (kind == 'O') {
      in.keep = a.attr("tolist")();
    } else if (kind == 'S') {
      in.keep = a;
      in.source.count = static_cast<std::size_t>(a.shape(0));
      in.source.base = static_cast<const char*>(a.data());
      in.source.stride = a.strides(0);
      in.source.itemSize = static_cast<std::size_t>(a.itemsize());
      return in;
    } else {
      throw py::type_error("records: NumPy array of dtype " + std::string(py::str(a.dtype())) +
                           ", expected fixed-width bytes (S1251) or objects");
    }
  } else if (PyTuple_Check(records.ptr())) {
    in.keep = py::reinterpret_borrow<py::object>(records);
  } else if (PyList_Check(records.ptr())) {
    in.keep = py::reinterpret_steal<py::object>(
        PyList_GetSlice(records.ptr(), 0, PyList_GET_SIZE(records.ptr())));
    if (!in.keep) throw py::error_already_set();
  } else {
    throw py::type_error(
        std::string("records must be a list, tuple, pandas Series or NumPy array, not ") +
        Py_TYPE(records.ptr())->tp_name);
  }
  PyObject* seq = in.keep.ptr();
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq);
  PyObject** items = PySequence_Fast_ITEMS(seq);
  for (Py_ssize_t i = 0; i < n; ++i) check_record_object(items[i], "records", i);
  in.source.count = static_cast<std::size_t>(n);
  in.source.objects = items;
  return in;
}

py::array object_column(std::size_t n) {
  // NumPy fills a new object array with null pointers, which every row
  // then replaces.
  return py::array(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)},
                   std::vector<py::ssize_t>{});
}

PyObject** objects(py::array& a) {
  return static_cast<PyObject**>(a.mutable_data());
}

// Rows with a text the vocabulary lacks (a result no table gives today):
// grouped again here, with the GIL, and given strings of their own.
void fill_unknown_texts(const RecordSource& source, const Columns& c) {
  PyObject** textColumns[] = {c.description, c.cmg, c.tableVersion, c.grouperVersion};
  for (std::size_t i = 0; i < source.count; ++i) {
    if (c.description[i] && c.cmg[i] && c.tableVersion[i] && c.grouperVersion[i]) continue;
    const cmg290::Result r = cmg290::group(source.at(i));
    const char* texts[] = {cmg290::status_text(r.status), r.cmg, r.tableVersion, r.grouperVersion};
    for (std::size_t k = 0; k < 4; ++k) {
      if (textColumns[k][i] != nullptr) continue;
      textColumns[k][i] =
          PyUnicode_DecodeLatin1(texts[k], static_cast<Py_ssize_t>(strlen(texts[k])), nullptr);
      if (textColumns[k][i] == nullptr) throw py::error_already_set();
    }
  }
}

py::tuple group_columns_binding(const py::handle& records, int workers) {
  const Vocabulary& vocabulary = python::vocabulary();
  const Input in = input_of(records);
  const std::size_t n = in.source.count;
  const int threads = thread_count(workers, n);

  py::array_t<std::int64_t> status(n), cognitive(n), age(n);
  py::array_t<double> motor(n);
  py::array_t<bool> cognitiveMissing(n), ageMissing(n);
  py::array description = object_column(n), cmg = object_column(n), tableVersion = object_column(n),
            grouperVersion = object_column(n);
  const Columns columns{
      status.mutable_data(),  objects(description),      objects(cmg),
      motor.mutable_data(),   cognitive.mutable_data(),  cognitiveMissing.mutable_data(),
      age.mutable_data(),     ageMissing.mutable_data(), objects(tableVersion),
      objects(grouperVersion)};

  GroupingCounts counts;
  {
    py::gil_scoped_release release;
    counts = group_columns(in.source, columns, vocabulary, threads);
  }
  // The rows point at the vocabulary's strings: one reference per row.
  for (std::size_t s = 0; s < counts.uses.size(); ++s) {
    PyObject* string = vocabulary.string(static_cast<int>(s));
    for (std::uint64_t k = 0; k < counts.uses[s]; ++k) Py_INCREF(string);
  }
  if (counts.unknownTexts > 0) fill_unknown_texts(in.source, columns);

  return py::make_tuple(status, description, cmg, motor, cognitive, cognitiveMissing, age,
                        ageMissing, tableVersion, grouperVersion);
}

}  // namespace

void bind_frame(py::module_& m) {
  m.def("group_columns", &group_columns_binding, py::arg("records"), py::arg("workers") = -1,
        "The result columns of many records, in input order: status, description, cmg,\n"
        "motor_score, cognitive_score and its missing mask, age and its missing mask,\n"
        "table_version, grouper_version. Used by cmg290.group_frame.");
}

}  // namespace cmg290::python
