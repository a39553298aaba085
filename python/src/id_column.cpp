#include "id_column.h"

#include <algorithm>
#include <string>

#include "cmg290/cmg290.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// One of the two numbers: an integer (operator.index), not a bool.
std::size_t id_number(const py::handle& value, const char* what) {
  if (PyBool_Check(value.ptr())) {
    throw py::type_error(std::string("id: the ") + what + " must be an integer, not bool");
  }
  PyObject* index = PyNumber_Index(value.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    throw py::type_error(std::string("id: the ") + what + " must be an integer, not " +
                         Py_TYPE(value.ptr())->tp_name);
  }
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow != 0 || number < 1 || number > static_cast<long long>(cmg290::kRecordLength)) {
    throw py::value_error(std::string("id: the ") + what + " must be 1 to " +
                          std::to_string(cmg290::kRecordLength) + "; got " +
                          py::str(value).cast<std::string>());
  }
  return static_cast<std::size_t>(number);
}

}  // namespace

std::optional<cli::IdRange> id_argument(const py::handle& id) {
  if (id.is_none()) return std::nullopt;
  if ((!PyTuple_Check(id.ptr()) && !PyList_Check(id.ptr())) || py::len(id) != 2) {
    throw py::type_error(std::string("id must be None or (start, length), two integers, not ") +
                         (PyTuple_Check(id.ptr()) || PyList_Check(id.ptr())
                              ? std::to_string(py::len(id)) + " values"
                              : std::string(Py_TYPE(id.ptr())->tp_name)));
  }
  const py::sequence pair = py::reinterpret_borrow<py::sequence>(id);
  const std::size_t start = id_number(pair[0], "start");
  const std::size_t length = id_number(pair[1], "length");
  const std::string wrong =
      cli::check_id_range(start, length, cmg290::kRecordLength, cmg290::kRecordLength);
  if (!wrong.empty()) {
    throw py::value_error("id (" + std::to_string(start) + ", " + std::to_string(length) + ") " +
                          wrong + ", the last a record holds");
  }
  return cli::IdRange{start - 1, length};
}

// A byte of room even for no rows: the column's pointer says whether ids
// were asked for, and an empty frame has the same columns as any other.
IdCells::IdCells(const std::optional<cli::IdRange>& range, std::size_t n)
    : bytes(range ? std::max<std::size_t>(n * range->length, 1) : 0), rows(n) {
  if (range) ids = {bytes.data(), *range};
}

PyObject* IdCells::cell(std::size_t i) const {
  const std::size_t length = ids.range.length;
  PyObject* s =
      PyUnicode_DecodeLatin1(bytes.data() + i * length, static_cast<Py_ssize_t>(length), nullptr);
  if (s == nullptr) throw py::error_already_set();
  return s;
}

py::object IdCells::column() const {
  if (ids.data == nullptr) return py::none();
  // NumPy fills a new object array with null pointers, which every row
  // then replaces.
  py::array column(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(rows)},
                   std::vector<py::ssize_t>{});
  PyObject** at = static_cast<PyObject**>(column.mutable_data());
  for (std::size_t i = 0; i < rows; ++i) at[i] = cell(i);
  return column;
}

}  // namespace cmg290::python
