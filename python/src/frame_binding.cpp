// cmg290._native.group_columns: the columns of a result frame for many
// records; cmg290.group_frame puts them into a pandas DataFrame.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "batch/group_batch.h"
#include "batch/path_batch.h"
#include "bindings.h"
#include "frame_columns.h"
#include "record_input.h"
#include "tier_set_arg.h"
#include "workers.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// An edits argument: True or False (a NumPy bool too). Anything else, even
// a str such as "no", which would be true, is refused.
bool edits_argument(const py::handle& edits) {
  if (PyBool_Check(edits.ptr())) return edits.ptr() == Py_True;
  const std::string type = Py_TYPE(edits.ptr())->tp_name;
  if (type == "numpy.bool_" || type == "numpy.bool") return PyObject_IsTrue(edits.ptr()) == 1;
  throw py::type_error("edits must be True or False, not " + type);
}

// The settings of workers, tier_set, edits and id, checked before the
// records are looked at; `keepSet` keeps the set alive while the threads
// group with it. Returns the workers asked for.
int settings_arguments(const py::handle& workers, const py::handle& tierSet,
                       const py::handle& editsArgument, const py::handle& idArgument,
                       std::shared_ptr<const cmg290::TierSet>& keepSet,
                       batch::BatchSettings& settings, std::optional<cli::IdRange>& id) {
  const int asked = workers_argument(workers.ptr());
  keepSet = tier_set_argument(tierSet);
  settings.edits = edits_argument(editsArgument);
  settings.tierSet = grouping_set(keepSet);
  id = id_argument(idArgument);
  return asked;
}

py::tuple group_columns_binding(const py::handle& records, const py::handle& workers,
                                const py::handle& labels, const std::string& name,
                                const py::handle& tierSet, const py::handle& editsArgument,
                                const py::handle& idArgument) {
  std::shared_ptr<const cmg290::TierSet> keepSet;
  batch::BatchSettings settings;
  std::optional<cli::IdRange> id;
  const int asked =
      settings_arguments(workers, tierSet, editsArgument, idArgument, keepSet, settings, id);
  ElementNames names;
  names.name = name.c_str();
  if (!labels.is_none()) names.labels = labels;
  const RecordInput in = record_input(records, names);
  const std::size_t n = in.source.count;
  settings.threads = thread_count(asked, n);
  FrameColumns frame(n, settings.edits, id);
  {
    py::gil_scoped_release release;
    batch::group_batch(in.source, settings, frame.columns);
  }
  return frame.finish(in.source, settings);
}

// Raises OSError for a file that cannot be read: errno's, naming the file,
// or one that changed while it was read, or damaged gzip data.
[[noreturn]] void raise_file_error(int error, const py::handle& path,
                                   const batch::PathBatch& file) {
  if (error < 0) {
    PyErr_Format(PyExc_OSError, "cannot read %R: %s", path.ptr(), file.error_text(error).c_str());
  } else {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
  }
  throw py::error_already_set();
}

// The columns of a file's records, read and grouped on the threads where
// the file lies (inflated first when it is gzip); nothing is made per
// record but the cells. Returns them with the array of each record's line.
py::tuple group_file_columns(const py::object& path, const py::handle& workers,
                             const py::handle& tierSet, const py::handle& editsArgument,
                             const py::handle& idArgument) {
  std::shared_ptr<const cmg290::TierSet> keepSet;
  batch::BatchSettings settings;
  std::optional<cli::IdRange> id;
  const int asked =
      settings_arguments(workers, tierSet, editsArgument, idArgument, keepSet, settings, id);
  // As open() takes it: str, bytes or os.PathLike; a zero byte is a
  // ValueError, not the end of the name.
  PyObject* encoded = nullptr;
  if (PyUnicode_FSConverter(path.ptr(), &encoded) == 0) throw py::error_already_set();
  const std::string name = py::reinterpret_steal<py::bytes>(encoded);
  batch::PathBatch file;
  int error;
  {
    py::gil_scoped_release release;
    error = file.open(name.c_str());
    // As many threads as the most records the file could hold could use:
    // the grouping has no more than the counting.
    // The lines are grouped as they are counted: the file is read once.
    if (error == 0) {
      error =
          file.count(thread_count(asked, file.size() / 2), &settings, id ? *id : cli::IdRange{});
    }
  }
  if (error != 0) raise_file_error(error, path, file);
  const std::size_t n = file.records();
  settings.threads = thread_count(asked, n);
  FrameColumns frame(n, settings.edits, id);
  py::array_t<std::int64_t> line(static_cast<py::ssize_t>(n));
  frame.columns.line = {line.mutable_data(), true};
  {
    py::gil_scoped_release release;
    error = file.group(settings, frame.columns);
  }
  if (error != 0) raise_file_error(error, path, file);
  return py::make_tuple(frame.finish(file.source(), settings), line);
}

}  // namespace

void bind_frame(py::module_& m) {
  m.def("group_columns", &group_columns_binding, py::arg("records"), py::arg("workers") = -1,
        py::arg("labels") = py::none(), py::arg("name") = "records",
        py::arg("tier_set") = py::none(), py::arg("edits") = py::bool_(false),
        py::arg("id") = py::none(),
        "The result columns of many records, in input order: status, description, cmg,\n"
        "tier, ric, motor_score, cognitive_score and its missing mask, age and its missing\n"
        "mask, table_version, grouper_version, with edits the codes of each record's edits\n"
        "joined with ';' (else None), with an id (start, length) each record's id (else\n"
        "None). The texts but edits and ids as (codes, categories). Used by\n"
        "cmg290.group_frame. A bad element is named name[position], or name.loc[label]\n"
        "when labels (an Index) are given. tier_set: a TierSet, or None for the\n"
        "compiled-in lists.");
  m.def("group_file_columns", &group_file_columns, py::arg("path"), py::arg("workers") = -1,
        py::arg("tier_set") = py::none(), py::arg("edits") = py::bool_(false),
        py::arg("id") = py::none(),
        "The result columns of the records of a file, one per line, as group_columns\n"
        "gives them, and an array of each record's line in the file (from 1); the\n"
        "file is read and grouped on the threads, inflated first when it is gzip.\n"
        "Used by cmg290.group_frame for a path.");
  m.def(
      "check_workers", [](const py::handle& workers) { return workers_argument(workers.ptr()); },
      py::arg("workers"),
      "A workers argument as an int: TypeError unless an integer, ValueError for 0 and\n"
      "below -1.");
}

}  // namespace cmg290::python
