// PostgreSQL entry point cmg290_explain(text): the explanation of one
// record's grouping as jsonb, the same JSON as `cmg290 explain -f json`,
// with the tier-table set in use (tier_setting.h).
//
// The server reports errors with longjmp, so no C++ object with a
// destructor is alive across a call that may raise one, and no C++
// exception leaves this file.

extern "C" {
#include "postgres.h"

#include "fmgr.h"
#include "mb/pg_wchar.h"
#include "utils/builtins.h"
#include "utils/jsonb.h"
}

#include <string>
#include <string_view>

#include "cmg290/explain.h"
#include "cmg290/tier_set.h"
#include "tier_setting.h"

extern "C" {
PG_FUNCTION_INFO_V1(cmg290_explain);
}

namespace {

// The JSON of the last explanation. It lives outside any call frame so that
// a server error raised while it is read (jsonb_in) unwinds past no C++
// object; the next call overwrites it.
std::string gExplainJson;

// Explains the bytes of one record into gExplainJson; false when that
// failed (out of memory). No set: the compiled-in lists.
bool explain_record(const char* data, std::size_t length, const cmg290::TierSet* set,
                    bool rawHighBytes) noexcept {
  try {
    cmg290::ExplainFormat format;
    format.rawHighBytes = rawHighBytes;
    const std::string_view record(data, length);
    gExplainJson = cmg290::explain_json(
        set != nullptr ? cmg290::explain(record, *set) : cmg290::explain(record), format);
    return true;
  } catch (...) {
    gExplainJson.clear();
    gExplainJson.shrink_to_fit();
    return false;
  }
}

}  // namespace

extern "C" PGDLLEXPORT Datum cmg290_explain(PG_FUNCTION_ARGS) {
  // STRICT: a NULL record never gets here.
  const cmg290::TierSet* set = cmg290::pg::tier_set_in_use();
  text* record = PG_GETARG_TEXT_PP(0);
  // Record bytes above 127 are written as \u0080 to \u00ff, which a database
  // in a real encoding takes as characters; a SQL_ASCII database cannot
  // convert such escapes and gets the bytes as they are.
  const bool rawHighBytes = GetDatabaseEncoding() == PG_SQL_ASCII;
  if (!explain_record(VARDATA_ANY(record), VARSIZE_ANY_EXHDR(record), set, rawHighBytes))
    ereport(ERROR,
            (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("cmg290: out of memory explaining a record")));
  PG_FREE_IF_COPY(record, 0);
  PG_RETURN_DATUM(DirectFunctionCall1(jsonb_in, CStringGetDatum(gExplainJson.c_str())));
}
