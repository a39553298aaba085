// cmg290._native.TierSet: a comorbidity tier-table set, loaded once and
// shared read-only by every call and thread that groups with it.
#include <pybind11/pybind11.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "bindings.h"
#include "cmg290/tier_set.h"
#include "tier_set_arg.h"

namespace py = pybind11;

namespace cmg290::python {

namespace {

// Sets read from disk by this process, whether they loaded or not: the
// tests use it to see that a Dask worker loads a set once.
std::atomic<long> loads{0};

struct PyTierSet {
  std::shared_ptr<const cmg290::TierSet> set;
  py::object path;  // the directory as load_tier_set was given it (absolute); None when compiled in
  bool allowDeviations = false;
};

// The set an instance holds; as for Result, an instance that TierSet.__new__
// made without a set is refused rather than read.
const PyTierSet& set_of(const py::handle& self) {
  if (!py::isinstance<PyTierSet>(self)) {
    throw py::type_error(std::string("tier_set must be a cmg290.TierSet or None, not ") +
                         Py_TYPE(self.ptr())->tp_name);
  }
  auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
  const py::detail::value_and_holder v = instance->get_value_and_holder();
  if (!v.holder_constructed()) {
    throw py::type_error(
        "this TierSet holds no set: sets come from cmg290.load_tier_set or "
        "cmg290.compiled_tier_set");
  }
  return *v.value_ptr<PyTierSet>();
}

template <class F>
auto reading(F f) {
  return [f](const py::handle& self) { return f(set_of(self)); };
}

// str, bytes or os.PathLike as the file system takes it; ValueError for a
// zero character, as open() gives.
std::string file_system_path(const py::handle& path) {
  PyObject* encoded = nullptr;
  if (PyUnicode_FSConverter(path.ptr(), &encoded) == 0) throw py::error_already_set();
  return py::reinterpret_steal<py::bytes>(encoded);
}

// A text holding paths, back as str the way os.fsdecode gives them.
py::str path_text(const std::string& text) {
  PyObject* decoded =
      PyUnicode_DecodeFSDefaultAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

// (TierSet, []) or (None, ["FILE:LINE: reason", ...]).
// With a pin (`sha256` not empty) the set must have that digest; a pin that
// is no digest is a ValueError.
py::tuple load(const py::object& path, bool allowDeviations, const std::string& sha256) {
  const std::string directory = file_system_path(path);
  cmg290::TierSetOptions options;
  options.allowDeviations = allowDeviations;
  if (!sha256.empty()) {
    std::string error;
    if (!cmg290::parse_sha256(sha256, options.expectedSha256, error)) {
      throw py::value_error("sha256: " + error);
    }
  }
  std::vector<cmg290::TierSetProblem> problems;
  std::shared_ptr<const cmg290::TierSet> set;
  {
    py::gil_scoped_release release;
    set = cmg290::TierSet::load(directory, problems, options);
    loads.fetch_add(1, std::memory_order_relaxed);
  }
  py::list texts;
  for (const cmg290::TierSetProblem& p : problems) {
    texts.append(path_text(cmg290::problem_text(p)));
  }
  if (set == nullptr) return py::make_tuple(py::none(), texts);
  // A pinned set is loaded again (unpickled) as one whose deviations are
  // allowed: its digest is checked all the same.
  return py::make_tuple(PyTierSet{std::move(set), path, allowDeviations || !sha256.empty()}, texts);
}

void write(const PyTierSet& s, const py::handle& path) {
  const std::string directory = file_system_path(path);
  std::string error;
  bool written;
  {
    py::gil_scoped_release release;
    written = s.set->write(directory, error);
  }
  if (!written) {
    PyErr_SetObject(PyExc_OSError, path_text(error).ptr());
    throw py::error_already_set();
  }
}

py::dict entries(const PyTierSet& s) {
  py::dict counts;
  for (cmg290::TierSetList list : cmg290::kTierSetLists) {
    counts[py::str(cmg290::tier_set_file(list))] = s.set->entries(list);
  }
  return counts;
}

py::tuple deviations(const PyTierSet& s) {
  py::list texts;
  for (const std::string& d : s.set->deviations()) {
    texts.append(path_text(d));
  }
  return py::tuple(texts);
}

py::str repr(const PyTierSet& s) {
  const py::str identity = path_text(s.set->identity());
  if (s.set->is_compiled()) return py::str("<cmg290.TierSet {} (compiled in)>").format(identity);
  return py::str("<cmg290.TierSet {} from {!r}>").format(identity, s.path);
}

// Pickled by where it came from: the compiled-in set as the compiled-in
// set, a loaded one as its directory, digest and allow_deviations, which
// cmg290._restore_tier_set loads once per process and checks.
py::tuple reduce(const PyTierSet& s) {
  const py::module_ package = py::module_::import("cmg290");
  if (s.set->is_compiled()) {
    return py::make_tuple(package.attr("compiled_tier_set"), py::tuple());
  }
  return py::make_tuple(package.attr("_restore_tier_set"),
                        py::make_tuple(s.path, s.set->digest(), s.allowDeviations));
}

}  // namespace

std::shared_ptr<const cmg290::TierSet> tier_set_argument(const py::handle& tierSet) {
  if (tierSet.is_none()) return nullptr;
  return set_of(tierSet).set;
}

void bind_tier_set(py::module_& m) {
  py::class_<PyTierSet> cls(m, "TierSet",
                            "A comorbidity tier-table set; see cmg290.load_tier_set.");
  cls.def_property_readonly(
         "name", reading([](const PyTierSet& s) { return path_text(s.set->name()); }),
         "The set's name: its manifest's, else its directory's; 'compiled-in' for the\n"
         "compiled-in set.")
      .def_property_readonly(
          "digest", reading([](const PyTierSet& s) { return s.set->digest(); }),
          "SHA-256 of the set's canonical contents, 64 lower-case hex digits: equal for two\n"
          "sets exactly when their lists hold the same entries in the same order.")
      .def_property_readonly(
          "identity", reading([](const PyTierSet& s) { return path_text(s.set->identity()); }),
          "'NAME sha256:DIGEST', with ', deviating in N points' for allowed deviations.")
      .def_property_readonly("compiled_in",
                             reading([](const PyTierSet& s) { return s.set->is_compiled(); }),
                             "True for the lists compiled into the grouper.")
      .def_property_readonly(
          "holds_placeholders",
          reading([](const PyTierSet& s) { return s.set->holds_placeholders(); }),
          "Some row is a generated placeholder, not taken from an official list.")
      .def_property_readonly("deviations", reading(deviations),
                             "The allowed deviations from the documented contents of the lists,\n"
                             "as 'FILE:LINE: reason' texts; () for a set that fits them.")
      .def_property_readonly(
          "path", reading([](const PyTierSet& s) { return s.path; }),
          "The directory the set was loaded from, as an absolute path; None when compiled in.")
      .def_property_readonly("entries", reading(entries),
                             "Entries per list: file name ('single-2.90.csv', ...) to count.")
      .def(
          "to_dict",
          [](const py::handle& self) {
            return py::module_::import("json").attr("loads")(
                py::str(cmg290::tier_set_json(*set_of(self).set)));
          },
          "The set's description: name, sha256, compiled_in, placeholders, deviations.")
      .def(
          "write",
          [](const py::handle& self, const py::handle& path) { write(set_of(self), path); },
          py::arg("path"),
          "Writes the set into directory `path` (created if missing) as seven CSV lists and a\n"
          "manifest, the form load_tier_set reads; files of those names are replaced. Raises\n"
          "OSError when it cannot.")
      .def("__repr__", reading(repr))
      .def("__reduce__", reading(reduce))
      // Dask names a graph by its arguments: a set by what it holds.
      .def("__dask_tokenize__", reading([](const PyTierSet& s) {
             return py::make_tuple("cmg290.TierSet", s.set->digest(), s.path, s.allowDeviations);
           }))
      // Immutable: a copy is the set itself, and never read again from disk.
      .def("__copy__",
           [](const py::handle& self) { return py::reinterpret_borrow<py::object>(self); })
      .def(
          "__deepcopy__",
          [](const py::handle& self, const py::handle&) {
            return py::reinterpret_borrow<py::object>(self);
          },
          py::arg("memo"));

  m.def("load_tier_set", &load, py::arg("path"), py::arg("allow_deviations") = false,
        py::arg("sha256") = std::string(),
        "Loads a set: (TierSet, []) or (None, problems); see cmg290.load_tier_set.");
  m.def(
      "compiled_tier_set",
      [] {
        return PyTierSet{cmg290::TierSet::compiled(), py::none(), false};
      },
      "The lists compiled into the grouper, as a set.");
  m.def(
      "tier_set_loads", [] { return loads.load(std::memory_order_relaxed); },
      "How many times this process has read a set from disk.");
}

}  // namespace cmg290::python
