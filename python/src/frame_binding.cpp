// cmg290._native.group_columns: the columns of a result frame for many
// records; cmg290.group_frame puts them into a pandas DataFrame.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "bindings.h"
#include "edit_column.h"
#include "group_columns.h"
#include "record_input.h"
#include "tier_set_arg.h"
#include "vocabulary.h"

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

// Rows with a text the vocabulary lacks (a result no table gives today):
// grouped again here, with the GIL, and given strings of their own.
void fill_unknown_texts(const RecordSource& source, const Columns& c, const cmg290::TierSet* set) {
  PyObject** textColumns[] = {c.description, c.cmg, c.tableVersion, c.grouperVersion};
  for (std::size_t i = 0; i < source.count; ++i) {
    if (c.description[i] && c.cmg[i] && c.tableVersion[i] && c.grouperVersion[i]) continue;
    char record[cmg290::kRecordLength];
    const cmg290::Result r = group_with({record, source.copy(i, record)}, set);
    const char* texts[] = {cmg290::status_text(r.status), r.cmg, r.tableVersion, r.grouperVersion};
    for (std::size_t k = 0; k < 4; ++k) {
      if (textColumns[k][i] != nullptr) continue;
      textColumns[k][i] =
          PyUnicode_DecodeLatin1(texts[k], static_cast<Py_ssize_t>(strlen(texts[k])), nullptr);
      if (textColumns[k][i] == nullptr) throw py::error_already_set();
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

py::tuple group_columns_binding(const py::handle& records, const py::handle& workers,
                                const py::handle& labels, const std::string& name,
                                const py::handle& tierSet, const py::handle& editsArgument) {
  // workers, the set and edits first: a wrong one is reported before the
  // records are looked at. The set stays alive while the threads group with
  // it.
  const int asked = workers_argument(workers.ptr());
  const std::shared_ptr<const cmg290::TierSet> keepSet = tier_set_argument(tierSet);
  const bool withEdits = edits_argument(editsArgument);
  const cmg290::TierSet* set = grouping_set(keepSet);
  const Vocabulary& vocabulary = python::vocabulary();
  ElementNames names;
  names.name = name.c_str();
  if (!labels.is_none()) names.labels = labels;
  const RecordInput in = record_input(records, names);
  const std::size_t n = in.source.count;
  const int threads = thread_count(asked, n);

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

  // Edits: a slot per row while grouping, the strings after.
  EditColumn edits;
  std::vector<std::uint32_t> editSlots(withEdits ? n : 0);
  edits.slots = editSlots.data();

  GroupingCounts counts;
  {
    py::gil_scoped_release release;
    counts =
        group_columns(in.source, columns, vocabulary, threads, set, withEdits ? &edits : nullptr);
  }
  // The rows point at the vocabulary's strings: one reference per row.
  for (std::size_t s = 0; s < counts.uses.size(); ++s) {
    PyObject* string = vocabulary.string(static_cast<int>(s));
    for (std::uint64_t k = 0; k < counts.uses[s]; ++k) Py_INCREF(string);
  }
  if (counts.failure) std::rethrow_exception(counts.failure);
  if (counts.unknownTexts > 0) fill_unknown_texts(in.source, columns, set);
  py::object editColumn = py::none();
  if (withEdits) {
    py::array texts = object_column(n);
    fill_edit_column(edits, objects(texts));
    editColumn = texts;
  }

  return py::make_tuple(status, description, cmg, motor, cognitive, cognitiveMissing, age,
                        ageMissing, tableVersion, grouperVersion, editColumn);
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
  m.def(
      "check_workers", [](const py::handle& workers) { return workers_argument(workers.ptr()); },
      py::arg("workers"),
      "A workers argument as an int: TypeError unless an integer, ValueError for 0 and\n"
      "below -1.");
}

}  // namespace cmg290::python
