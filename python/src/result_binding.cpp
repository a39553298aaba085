// cmg290._native.group and its Result: one record, one result object.
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "batch/batch_rows.h"
#include "bindings.h"
#include "cmg290/cmg290.h"
#include "cmg290/status.h"
#include "record_text.h"
#include "tier_set_arg.h"
#include "workers.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// One grouping result. The grouper's reset values (blanks, " 0.0", 0) are
// shown as None where the grouping did not reach an output, so that they
// cannot pass for real values.
struct PyResult {
  cmg290::Result r;

  bool grouped() const { return cmg290::reaches_cmg_and_scores(r.status); }
  bool aged() const { return cmg290::reaches_age(r.status); }

  py::object cmg() const { return grouped() ? py::object(py::str(r.cmg)) : py::none(); }
  py::object motor_score() const {
    return grouped() ? py::object(py::float_(motor_number(r.motorScore))) : py::none();
  }
  py::object cognitive_score() const {
    return grouped() ? py::object(py::int_(r.cognitiveScore)) : py::none();
  }
  py::object age() const { return aged() ? py::object(py::int_(r.age)) : py::none(); }
  py::object motor_text() const {
    return grouped() ? py::object(py::str(r.motorScore)) : py::none();
  }
  py::object table_version() const {
    return std::strcmp(r.tableVersion, "    ") == 0 ? py::none()
                                                    : py::object(py::str(r.tableVersion));
  }

  bool operator==(const PyResult& o) const {
    return r.status == o.r.status && std::strcmp(r.cmg, o.r.cmg) == 0 &&
           std::strcmp(r.motorScore, o.r.motorScore) == 0 &&
           r.cognitiveScore == o.r.cognitiveScore && r.age == o.r.age &&
           std::strcmp(r.tableVersion, o.r.tableVersion) == 0 &&
           std::strcmp(r.grouperVersion, o.r.grouperVersion) == 0;
  }

  std::string repr() const {
    auto text = [](const py::object& o) { return std::string(py::repr(o)); };
    return "Result(status=" + std::to_string(r.status) +
           ", description=" + text(py::str(cmg290::status_text(r.status))) +
           ", cmg=" + text(cmg()) + ", motor_score=" + text(motor_score()) +
           ", motor_text=" + text(motor_text()) + ", cognitive_score=" + text(cognitive_score()) +
           ", age=" + text(age()) + ", table_version=" + text(table_version()) +
           ", grouper_version=" + text(py::str(r.grouperVersion)) + ")";
  }
};

// The result an instance holds. Result.__new__ (which pickling calls before
// __setstate__) leaves an instance whose C++ value is not constructed, and
// reading that would show whatever the memory held: such an instance is
// refused until __setstate__ has filled it.
const PyResult& result_of(const py::handle& self) {
  if (!py::isinstance<PyResult>(self)) {
    throw py::type_error(std::string("expected a cmg290.Result, not ") +
                         Py_TYPE(self.ptr())->tp_name);
  }
  auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
  const py::detail::value_and_holder v = instance->get_value_and_holder();
  if (!v.holder_constructed()) {
    throw py::type_error("this Result holds no result: results come from cmg290.group");
  }
  return *v.value_ptr<PyResult>();
}

// A getter or method of Result that reads the result of its first argument.
template <class F>
auto reading(F f) {
  return [f](const py::handle& self) { return f(result_of(self)); };
}

// Copies a pickled text back into its fixed-size field, cut to fit.
template <std::size_t N>
void copy_text(const py::handle& text, char (&field)[N]) {
  const std::string s = text.cast<std::string>();
  const std::size_t n = std::min(s.size(), N - 1);
  std::memcpy(field, s.data(), n);
  field[n] = '\0';
}

PyResult group_one(const py::handle& record, const py::handle& tierSet) {
  const std::shared_ptr<const cmg290::TierSet> set = tier_set_argument(tierSet);
  check_record_object(record.ptr(), "record");
  PyResult result;
  result.r = batch::group_one(record_bytes(record.ptr()), grouping_set(set));
  return result;
}

}  // namespace

void bind_result(py::module_& m) {
  py::class_<PyResult> cls(m, "Result",
                           "The result of grouping one record (see cmg290.group). Outputs the\n"
                           "grouping did not reach are None.");
  cls.def_property_readonly(
         "status", reading([](const PyResult& p) { return p.r.status; }),
         "Status code: 0 grouped; 1 record identifier is not IRF-PAI; 2 record kind 3;\n"
         "3 version date before 20100701; 5 birth date incomplete in the age date's year;\n"
         "6 age date before birth date; 7 age of 141 or more; 9 impairment group not in\n"
         "the table.")
      .def_property_readonly(
          "description", reading([](const PyResult& p) { return cmg290::status_text(p.r.status); }),
          "Short English description of the status.")
      .def_property_readonly("cmg", reading(std::mem_fn(&PyResult::cmg)),
                             "Tier letter and CMG code, e.g. 'C0102'; the tier letter alone\n"
                             "when no CMG row fits; None unless status is 0.")
      .def_property_readonly("motor_score", reading(std::mem_fn(&PyResult::motor_score)),
                             "Weighted motor score (float, one decimal); None unless status "
                             "is 0.")
      .def_property_readonly(
          "motor_text", reading(std::mem_fn(&PyResult::motor_text)),
          "The motor score as the grouper writes it ('48.0', '.7', '-.7'); None unless\n"
          "status is 0.")
      .def_property_readonly("cognitive_score", reading(std::mem_fn(&PyResult::cognitive_score)),
                             "Cognitive score (int); None unless status is 0.")
      .def_property_readonly("age", reading(std::mem_fn(&PyResult::age)),
                             "Age in whole years (int); None unless status is 0, 7 or 9.")
      .def_property_readonly("table_version", reading(std::mem_fn(&PyResult::table_version)),
                             "Table version that the record's version date selects, '2.40'\n"
                             "to '2.90'; None when it selects none.")
      .def_property_readonly("grouper_version", reading([](const PyResult& p) {
                               return std::string(p.r.grouperVersion);
                             }),
                             "The grouper's version, '2.90'.")
      .def("__eq__",
           [](const py::handle& a, const py::object& b) -> py::object {
             if (!py::isinstance<PyResult>(b)) {
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             }
             return py::bool_(result_of(a) == result_of(b));
           })
      .def("__repr__", reading(std::mem_fn(&PyResult::repr)))
      // Pickled as the grouper's raw outputs, so that results can travel
      // between processes (multiprocessing, Dask).
      .def(py::pickle(
          [](const py::handle& self) {
            const PyResult& p = result_of(self);
            return py::make_tuple(p.r.status, p.r.cmg, p.r.motorScore, p.r.cognitiveScore, p.r.age,
                                  p.r.tableVersion, p.r.grouperVersion);
          },
          [](const py::tuple& t) {
            if (t.size() != 7) throw py::value_error("Result: wrong pickled state");
            PyResult p{};
            p.r.status = t[0].cast<int>();
            copy_text(t[1], p.r.cmg);
            copy_text(t[2], p.r.motorScore);
            p.r.cognitiveScore = t[3].cast<int>();
            p.r.age = t[4].cast<int>();
            copy_text(t[5], p.r.tableVersion);
            copy_text(t[6], p.r.grouperVersion);
            return p;
          }));
  cls.attr("__hash__") = py::none();

  m.def("group", &group_one, py::arg("record"), py::arg("tier_set") = py::none(),
        "Groups one record; see cmg290.group.");
  m.def(
      "status_text", [](int status) { return cmg290::status_text(status); }, py::arg("status"),
      "Short English description of a status code.");
}

}  // namespace cmg290::python
