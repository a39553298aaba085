// cmg290._native.edits and EDIT_CATALOGUE: the edits of one record, as
// dicts, and the list of every edit the grouper knows.
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

#include "batch/batch_rows.h"
#include "bindings.h"
#include "cmg290/edits.h"
#include "record_text.h"
#include "tier_set_arg.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// Texts taken from a record hold its bytes, read as Latin-1 as the record
// itself is.
py::str latin1(std::string_view bytes) {
  PyObject* text =
      PyUnicode_DecodeLatin1(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr);
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

py::str ascii(std::string_view text) {
  return py::str(text.data(), text.size());
}

py::list record_edits(const py::handle& record, const py::handle& tierSet) {
  const std::shared_ptr<const cmg290::TierSet> keepSet = tier_set_argument(tierSet);
  const cmg290::TierSet* set = grouping_set(keepSet);
  check_record_object(record.ptr(), "record");
  const std::string_view bytes = record_bytes(record.ptr());
  cmg290::Edits found;
  batch::find_record_edits(bytes, batch::group_one(bytes, set), set, found);
  py::list edits;
  for (const cmg290::Edit& e : found) {
    char message[cmg290::kEditMessageMax];
    const std::size_t length = cmg290::write_edit_message(e, message);
    py::dict d;
    d["code"] = ascii(e.code());
    d["severity"] = ascii(cmg290::severity_text(e.severity()));
    d["field"] = e.field < 0 ? py::object(py::none()) : py::object(ascii(e.field_name()));
    d["value"] = latin1(e.value_text());
    d["message"] = latin1({message, length});
    edits.append(d);
  }
  return edits;
}

py::tuple catalogue() {
  py::list entries;
  for (const cmg290::EditInfo& e : cmg290::kEditCatalogue) {
    entries.append(
        py::make_tuple(ascii(e.code), ascii(cmg290::severity_text(e.severity)), ascii(e.meaning)));
  }
  return py::tuple(entries);
}

}  // namespace

void bind_edits(py::module_& m) {
  m.def("edits", &record_edits, py::arg("record"), py::arg("tier_set") = py::none(),
        "The edits of one record as dicts; see cmg290.edits.");
  m.attr("EDIT_CATALOGUE") = catalogue();
}

}  // namespace cmg290::python
