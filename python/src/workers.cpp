#include "workers.h"

#include <pybind11/pybind11.h>

#include <limits>
#include <string>

#include "thread_count.h"

namespace cmg290::python {

namespace {

[[noreturn]] void refuse_workers(const std::string& got) {
  throw pybind11::value_error(
      "workers must be a positive number of threads, or -1 for all cores; got " + got);
}

}  // namespace

int workers_argument(PyObject* workers) {
  PyObject* index = PyNumber_Index(workers);
  if (index == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw pybind11::error_already_set();
    PyErr_Clear();
    throw pybind11::type_error(std::string("workers must be an integer, not ") +
                               Py_TYPE(workers)->tp_name);
  }
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow > 0 || value > std::numeric_limits<int>::max()) {
    return std::numeric_limits<int>::max();
  }
  if (overflow < 0) refuse_workers("a number below -1");
  if (value == 0 || value < -1) refuse_workers(std::to_string(value));
  return static_cast<int>(value);
}

int thread_count(int workers, std::size_t records) {
  if (workers == 0 || workers < -1) refuse_workers(std::to_string(workers));
  return cli::useful_threads(workers, records);
}

}  // namespace cmg290::python
