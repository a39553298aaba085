// cmg290._native.read_records: a file of records, one per line, into a
// NumPy array of dtype S1251, with the line rules of `cmg290 group` (its
// own line reader does the cutting): LF or CRLF, a last line without a
// line end counts, empty lines are skipped, a short line is filled out
// with blanks and a longer one keeps its first 1251 characters. A gzip file
// (by its magic bytes) is inflated as the command inflates it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <string>
#include <vector>

#include "batch/record_file.h"
#include "bindings.h"
#include "cmg290/cmg290.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

using Mapping = batch::RecordBlock::Mapping;

py::array read_records(const py::object& path) {
  // As open() takes it: str, bytes or os.PathLike; a zero byte is a
  // ValueError, not the end of the name.
  PyObject* encoded = nullptr;
  if (PyUnicode_FSConverter(path.ptr(), &encoded) == 0) throw py::error_already_set();
  const std::string name = py::reinterpret_steal<py::bytes>(encoded);
  Mapping mapping{nullptr, 0};
  std::size_t count = 0;
  batch::RecordFileRead read;
  {
    py::gil_scoped_release release;
    batch::RecordBlock block;
    read = batch::read_record_file(name.c_str(), block);
    count = block.count();
    if (read.error == 0) mapping = block.release();
  }
  if (read.error == batch::kDamagedGzip) {
    PyErr_Format(PyExc_OSError, "cannot read %R: %s", path.ptr(), read.damage.c_str());
    throw py::error_already_set();
  }
  if (read.error != 0) {
    errno = read.error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
  }
  auto* owned = new Mapping(mapping);
  py::capsule owner(owned, [](void* p) {
    auto* m = static_cast<Mapping*>(p);
    batch::RecordBlock::unmap(*m);
    delete m;
  });
  constexpr std::size_t kRecord = cmg290::kRecordLength;
  return py::array(py::dtype("S" + std::to_string(kRecord)),
                   std::vector<py::ssize_t>{static_cast<py::ssize_t>(count)},
                   std::vector<py::ssize_t>{static_cast<py::ssize_t>(kRecord)}, mapping.data,
                   owner);
}

}  // namespace

void bind_records(py::module_& m) {
  m.def("read_records", &read_records, py::arg("path"),
        "Reads a file of records; see cmg290.read_records.");
}

}  // namespace cmg290::python
