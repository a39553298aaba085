// PostgreSQL entry point cmg290_tier_set(): the tier-table set the grouping
// functions use, as jsonb: {"name", "sha256", "compiled_in",
// "placeholders", "deviations"}.
//
// The server reports errors with longjmp, so no C++ object with a
// destructor is alive across a call that may raise one, and no C++
// exception leaves this file.

extern "C" {
#include "postgres.h"

#include "fmgr.h"
#include "utils/builtins.h"
#include "utils/jsonb.h"
}

#include <string>

#include "cmg290/tier_set.h"
#include "tier_setting.h"

extern "C" {
PG_FUNCTION_INFO_V1(cmg290_tier_set);
}

namespace {

// The JSON of the last call, outside any call frame (see explain_entry.cpp).
std::string gSetJson;

// The set's JSON into gSetJson; false when memory ran out. No set: the
// compiled-in lists.
bool describe(const cmg290::TierSet* set) noexcept {
  try {
    gSetJson = cmg290::tier_set_json(set != nullptr ? *set : *cmg290::TierSet::compiled());
    return true;
  } catch (...) {
    gSetJson.clear();
    gSetJson.shrink_to_fit();
    return false;
  }
}

}  // namespace

extern "C" PGDLLEXPORT Datum cmg290_tier_set(PG_FUNCTION_ARGS) {
  if (!describe(cmg290::pg::tier_set_in_use()))
    ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY),
                    errmsg("cmg290: out of memory describing the tier-table set")));
  PG_RETURN_DATUM(DirectFunctionCall1(jsonb_in, CStringGetDatum(gSetJson.c_str())));
}
