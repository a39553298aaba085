// cmg290._native.group_columns: the columns of a result frame for many
// records; cmg290.group_frame puts them into a pandas DataFrame.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "batch/group_batch.h"
#include "batch/path_batch.h"
#include "bindings.h"
#include "record_input.h"
#include "tier_set_arg.h"
#include "vocabulary.h"
#include "workers.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

using batch::EditKey;
using batch::TextKey;

py::array object_column(std::size_t n) {
  // NumPy fills a new object array with null pointers, which every row
  // then replaces.
  return py::array(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)},
                   std::vector<py::ssize_t>{});
}

PyObject** objects(py::array& a) {
  return static_cast<PyObject**>(a.mutable_data());
}

// Points every row of a text column at the vocabulary's string of its key;
// a row whose key the vocabulary lacks is left null.
void fill_text_column(const std::vector<TextKey>& keys, PyObject** column) {
  const Vocabulary& vocabulary = python::vocabulary();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] >= vocabulary.size()) continue;
    PyObject* text = vocabulary.string(keys[i]);
    Py_INCREF(text);
    column[i] = text;
  }
}

// Points every row of the edits column at the string of its codes, one
// string per distinct list of codes; the maps hold a reference to each
// until every row has taken its own. A row of more edits than a key holds
// is grouped again here, with the GIL, for its codes.
void fill_edit_column(const std::vector<EditKey>& keys, PyObject** column,
                      const batch::RecordSource& source, const batch::BatchSettings& settings) {
  std::unordered_map<EditKey, py::str> strings;
  std::unordered_map<std::string, py::str> longLists;
  EditKey last = batch::kManyEdits;
  PyObject* lastText = nullptr;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    PyObject* text = lastText;
    if (keys[i] == batch::kManyEdits) {
      char room[cmg290::kRecordLength];
      std::string_view record;
      source.get(i, room, record);  // every Python source is ready
      cmg290::Edits edits;
      batch::find_record_edits(record, batch::group_one(record, settings.tierSet), settings.tierSet,
                               edits);
      const std::string codes = batch::edit_codes_text(edits);
      auto found = longLists.find(codes);
      if (found == longLists.end()) found = longLists.emplace(codes, py::str(codes)).first;
      text = found->second.ptr();
    } else if (keys[i] != last) {
      auto found = strings.find(keys[i]);
      if (found == strings.end()) {
        found = strings.emplace(keys[i], py::str(batch::edit_key_text(keys[i]))).first;
      }
      last = keys[i];
      text = lastText = found->second.ptr();
    }
    Py_INCREF(text);
    column[i] = text;
  }
}

PyObject* latin1(const std::string& text) {
  PyObject* s = PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
  if (s == nullptr) throw py::error_already_set();
  return s;
}

// Rows whose texts the vocabulary lacks (a result no table gives today):
// grouped again here, with the GIL, and given strings of their own.
void fill_odd_texts(const batch::RecordSource& source, const batch::BatchSettings& settings,
                    PyObject** const textColumns[4]) {
  for (std::size_t i = 0; i < source.count; ++i) {
    if (textColumns[0][i] != nullptr && textColumns[1][i] != nullptr &&
        textColumns[2][i] != nullptr && textColumns[3][i] != nullptr) {
      continue;
    }
    char room[cmg290::kRecordLength];
    std::string_view record;
    source.get(i, room, record);  // every Python source is ready
    const cmg290::Result r = batch::group_one(record, settings.tierSet);
    const char* texts[] = {cmg290::status_text(r.status), r.cmg, r.tableVersion, r.grouperVersion};
    for (std::size_t k = 0; k < 4; ++k) {
      if (textColumns[k][i] == nullptr) textColumns[k][i] = latin1(texts[k]);
    }
  }
}

// An edits argument: True or False (a NumPy bool too). Anything else, even
// a str such as "no", which would be true, is refused.
bool edits_argument(const py::handle& edits) {
  if (PyBool_Check(edits.ptr())) return edits.ptr() == Py_True;
  const std::string type = Py_TYPE(edits.ptr())->tp_name;
  if (type == "numpy.bool_" || type == "numpy.bool") return PyObject_IsTrue(edits.ptr()) == 1;
  throw py::type_error("edits must be True or False, not " + type);
}

// A frame's columns for n rows: the arrays the engine fills, and the
// tuple of columns made of them once it has.
struct FrameColumns {
  FrameColumns(std::size_t rows, bool edits)
      : n(rows),
        status(n),
        cognitive(n),
        age(n),
        motor(n),
        cognitiveMissing(n),
        ageMissing(n),
        description(n),
        cmg(n),
        tableVersion(n),
        grouperVersion(n),
        editKeys(edits ? n : 0) {
    columns.status = {status.mutable_data(), true};
    columns.cognitiveScore = {cognitive.mutable_data(), true};
    columns.age = {age.mutable_data(), true};
    columns.motorScore = motor.mutable_data();
    columns.cognitiveMissing = cognitiveMissing.mutable_data();
    columns.ageMissing = ageMissing.mutable_data();
    columns.description = description.data();
    columns.cmg = cmg.data();
    columns.tableVersion = tableVersion.data();
    columns.grouperVersion = grouperVersion.data();
    columns.edits = edits ? editKeys.data() : nullptr;
  }

  // The columns, with the GIL, once grouped: `source` gives the records of
  // the few rows grouped again here.
  py::tuple finish(const batch::RecordSource& source, const batch::BatchSettings& settings) {
    py::array descriptionColumn = object_column(n), cmgColumn = object_column(n),
              tableVersionColumn = object_column(n), grouperVersionColumn = object_column(n);
    PyObject** const textColumns[4] = {objects(descriptionColumn), objects(cmgColumn),
                                       objects(tableVersionColumn), objects(grouperVersionColumn)};
    fill_text_column(description, textColumns[0]);
    fill_text_column(cmg, textColumns[1]);
    fill_text_column(tableVersion, textColumns[2]);
    fill_text_column(grouperVersion, textColumns[3]);
    fill_odd_texts(source, settings, textColumns);
    py::object editColumn = py::none();
    if (settings.edits) {
      py::array texts = object_column(n);
      fill_edit_column(editKeys, objects(texts), source, settings);
      editColumn = texts;
    }
    return py::make_tuple(status, descriptionColumn, cmgColumn, motor, cognitive, cognitiveMissing,
                          age, ageMissing, tableVersionColumn, grouperVersionColumn, editColumn);
  }

  std::size_t n;
  py::array_t<std::int64_t> status, cognitive, age;
  py::array_t<double> motor;
  py::array_t<bool> cognitiveMissing, ageMissing;
  std::vector<TextKey> description, cmg, tableVersion, grouperVersion;
  std::vector<EditKey> editKeys;
  batch::BatchColumns columns;
};

// The settings of workers, tier_set and edits, checked before the records
// are looked at; `keepSet` keeps the set alive while the threads group
// with it. Returns the workers asked for.
int settings_arguments(const py::handle& workers, const py::handle& tierSet,
                       const py::handle& editsArgument,
                       std::shared_ptr<const cmg290::TierSet>& keepSet,
                       batch::BatchSettings& settings) {
  const int asked = workers_argument(workers.ptr());
  keepSet = tier_set_argument(tierSet);
  settings.edits = edits_argument(editsArgument);
  settings.tierSet = grouping_set(keepSet);
  return asked;
}

py::tuple group_columns_binding(const py::handle& records, const py::handle& workers,
                                const py::handle& labels, const std::string& name,
                                const py::handle& tierSet, const py::handle& editsArgument) {
  std::shared_ptr<const cmg290::TierSet> keepSet;
  batch::BatchSettings settings;
  const int asked = settings_arguments(workers, tierSet, editsArgument, keepSet, settings);
  ElementNames names;
  names.name = name.c_str();
  if (!labels.is_none()) names.labels = labels;
  const RecordInput in = record_input(records, names);
  const std::size_t n = in.source.count;
  settings.threads = thread_count(asked, n);
  FrameColumns frame(n, settings.edits);
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
                             const py::handle& tierSet, const py::handle& editsArgument) {
  std::shared_ptr<const cmg290::TierSet> keepSet;
  batch::BatchSettings settings;
  const int asked = settings_arguments(workers, tierSet, editsArgument, keepSet, settings);
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
    if (error == 0) error = file.count(thread_count(asked, file.size() / 2), &settings);
  }
  if (error != 0) raise_file_error(error, path, file);
  const std::size_t n = file.records();
  settings.threads = thread_count(asked, n);
  FrameColumns frame(n, settings.edits);
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
        "The result columns of many records, in input order: status, description, cmg,\n"
        "motor_score, cognitive_score and its missing mask, age and its missing mask,\n"
        "table_version, grouper_version, and with edits the codes of each record's edits\n"
        "joined with ';' (else None). Used by cmg290.group_frame. A bad element is\n"
        "named name[position], or name.loc[label] when labels (an Index) are given.\n"
        "tier_set: a TierSet, or None for the compiled-in lists.");
  m.def("group_file_columns", &group_file_columns, py::arg("path"), py::arg("workers") = -1,
        py::arg("tier_set") = py::none(), py::arg("edits") = py::bool_(false),
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
