// The package's native routines, registered for .Call.
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

extern "C" {
SEXP cmg290_group(SEXP records, SEXP workers, SEXP tierSet, SEXP withEdits, SEXP id);
SEXP cmg290_group_file(SEXP path, SEXP workers, SEXP tierSet, SEXP withEdits, SEXP id);
SEXP cmg290_edits(SEXP record, SEXP tierSet);
SEXP cmg290_edit_catalogue();
SEXP cmg290_edits_frame(SEXP records, SEXP workers, SEXP tierSet, SEXP id);
SEXP cmg290_fields(SEXP records, SEXP names);
SEXP cmg290_read_records(SEXP path);
SEXP cmg290_explain(SEXP record, SEXP tierSet);
SEXP cmg290_build_record(SEXP fields);
SEXP cmg290_record_layout();
SEXP cmg290_status_text(SEXP status);
SEXP cmg290_load_tier_set(SEXP path, SEXP allowDeviations, SEXP sha256);
SEXP cmg290_compiled_tier_set();
SEXP cmg290_write_tier_set(SEXP pointer, SEXP path);

static const R_CallMethodDef kRoutines[] = {
    {"cmg290_group", reinterpret_cast<DL_FUNC>(&cmg290_group), 5},
    {"cmg290_group_file", reinterpret_cast<DL_FUNC>(&cmg290_group_file), 5},
    {"cmg290_edits", reinterpret_cast<DL_FUNC>(&cmg290_edits), 2},
    {"cmg290_edit_catalogue", reinterpret_cast<DL_FUNC>(&cmg290_edit_catalogue), 0},
    {"cmg290_edits_frame", reinterpret_cast<DL_FUNC>(&cmg290_edits_frame), 4},
    {"cmg290_fields", reinterpret_cast<DL_FUNC>(&cmg290_fields), 2},
    {"cmg290_read_records", reinterpret_cast<DL_FUNC>(&cmg290_read_records), 1},
    {"cmg290_explain", reinterpret_cast<DL_FUNC>(&cmg290_explain), 2},
    {"cmg290_build_record", reinterpret_cast<DL_FUNC>(&cmg290_build_record), 1},
    {"cmg290_record_layout", reinterpret_cast<DL_FUNC>(&cmg290_record_layout), 0},
    {"cmg290_status_text", reinterpret_cast<DL_FUNC>(&cmg290_status_text), 1},
    {"cmg290_load_tier_set", reinterpret_cast<DL_FUNC>(&cmg290_load_tier_set), 3},
    {"cmg290_compiled_tier_set", reinterpret_cast<DL_FUNC>(&cmg290_compiled_tier_set), 0},
    {"cmg290_write_tier_set", reinterpret_cast<DL_FUNC>(&cmg290_write_tier_set), 2},
    {nullptr, nullptr, 0}};

void R_init_cmg290(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kRoutines, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
}
}
