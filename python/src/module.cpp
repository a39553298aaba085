// The native module of the cmg290 package.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "cmg290/cmg290.h"
#include "vocabulary.h"

PYBIND11_MODULE(_native, m) {
  m.doc() = "Native part of the cmg290 package; use the cmg290 package itself.";
  cmg290::python::vocabulary();  // build the shared result strings now, with the GIL
  cmg290::python::bind_tier_set(m);
  cmg290::python::bind_result(m);
  cmg290::python::bind_frame(m);
  cmg290::python::bind_records(m);
  cmg290::python::bind_explain(m);
  cmg290::python::bind_edits(m);
  cmg290::python::bind_long_form(m);
  m.attr("GROUPER_VERSION") = std::string(cmg290::kGrouperVersion);
  m.attr("RECORD_LENGTH") = cmg290::kRecordLength;
  m.attr("__version__") = CMG290_PROJECT_VERSION;
}
