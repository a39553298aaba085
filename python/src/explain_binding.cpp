// cmg290._native.explain, build_record and LAYOUT: looking at one record
// field by field, and making records from named field values.
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "bindings.h"
#include "cmg290/explain.h"
#include "cmg290/record_builder.h"
#include "cmg290/record_layout.h"
#include "record_text.h"
#include "tier_set_arg.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// The explanation as `cmg290 explain --format json` writes it, read back by
// Python's json module. Bytes above 0x7f are written as \u0080 to \u00ff,
// so the texts of fields hold the record's bytes as Latin-1 characters.
// With a set, the lists searched are named by their files.
py::object explain_record(const py::handle& record, const py::handle& tierSet) {
  const std::shared_ptr<const cmg290::TierSet> set = tier_set_argument(tierSet);
  check_record_object(record.ptr(), "record");
  const std::string_view bytes = record_bytes(record.ptr());
  const std::string json =
      cmg290::explain_json(set != nullptr ? cmg290::explain(bytes, *set) : cmg290::explain(bytes));
  return py::module_::import("json").attr("loads")(py::str(json));
}

py::bytes build(const py::kwargs& fields) {
  // The names and texts stay alive in `keep` while the builder reads them.
  std::vector<std::string> keep;
  keep.reserve(2 * fields.size());
  for (const auto& [key, value] : fields) {
    keep.push_back(py::str(key));
    const std::string& name = keep.back();
    check_record_object(value.ptr(), name.c_str());
    keep.emplace_back(record_bytes(value.ptr()));
  }
  std::vector<cmg290::FieldValue> values;
  for (std::size_t i = 0; i < keep.size(); i += 2) values.push_back({keep[i], keep[i + 1]});
  const cmg290::BuiltRecord built = cmg290::build_record(values);
  if (!built.ok()) throw py::value_error(built.error);
  return py::bytes(built.record);
}

py::dict layout() {
  py::dict fields;
  for (const cmg290::FieldLayout& f : cmg290::kRecordLayout) {
    fields[py::str(std::string(f.name))] = py::make_tuple(f.start, f.length);
  }
  return fields;
}

}  // namespace

void bind_explain(py::module_& m) {
  m.def("explain", &explain_record, py::arg("record"), py::arg("tier_set") = py::none(),
        "Explains one record; see cmg290.explain.");
  m.def("build_record", &build, "Builds a record from named fields; see cmg290.build_record.");
  m.attr("LAYOUT") = layout();
}

}  // namespace cmg290::python
