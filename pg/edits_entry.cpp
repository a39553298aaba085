// PostgreSQL entry point cmg290_edits(text): the edits of one record (the
// faults its status lets pass) as a jsonb array, as write_edits_json writes
// it, found with the tier-table set in use (tier_setting.h).
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

#include <string_view>

#include "cmg290/edits.h"
#include "cmg290/tier_set.h"
#include "json_bytes.h"
#include "result_values.h"
#include "tier_setting.h"

extern "C" {
PG_FUNCTION_INFO_V1(cmg290_edits);
}

extern "C" PGDLLEXPORT Datum cmg290_edits(PG_FUNCTION_ARGS) {
  // STRICT: a NULL record never gets here.
  const cmg290::TierSet* set = cmg290::pg::tier_set_in_use();
  text* record = PG_GETARG_TEXT_PP(0);
  cmg290::Result result;
  cmg290::pg::group_text(record, &result);
  const std::string_view bytes(VARDATA_ANY(record), VARSIZE_ANY_EXHDR(record));
  cmg290::Edits edits;
  if (set != nullptr)
    cmg290::find_edits(bytes, result, *set, edits);
  else
    cmg290::find_edits(bytes, result, edits);

  char* json = static_cast<char*>(palloc(cmg290::edits_json_room(edits) + 1));
  char* end = cmg290::write_edits_json(json, edits);
  *end = '\0';
  PG_FREE_IF_COPY(record, 0);
  // Values hold the record's bytes, written as \u0080 to \u00ff above 127,
  // which a database in a real encoding takes as characters; a SQL_ASCII
  // database cannot convert such escapes and gets the bytes as they are.
  if (GetDatabaseEncoding() == PG_SQL_ASCII) cmg290::pg::unescape_high_bytes(json);
  const Datum array = DirectFunctionCall1(jsonb_in, CStringGetDatum(json));
  pfree(json);
  PG_RETURN_DATUM(array);
}
