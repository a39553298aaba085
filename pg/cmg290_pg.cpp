// PostgreSQL entry points: cmg290_group(text), cmg290_explain(text) and
// cmg290_status_text(int).
//
// The server is C and reports errors with longjmp, so nothing here keeps a
// C++ object with a destructor alive across a call that may raise a server
// error, and no C++ exception leaves this file: the grouper is reached only
// through group_record(), which catches everything.

extern "C" {
#include "postgres.h"

#include "access/htup_details.h"
#include "fmgr.h"
#include "funcapi.h"
#include "mb/pg_wchar.h"
#include "utils/builtins.h"
#include "utils/jsonb.h"
#include "utils/numeric.h"
}

#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/explain.h"

extern "C" {
PG_MODULE_MAGIC;

PG_FUNCTION_INFO_V1(cmg290_group);
PG_FUNCTION_INFO_V1(cmg290_explain);
PG_FUNCTION_INFO_V1(cmg290_status_text);
}

namespace {

constexpr int kColumns = 7;

// Groups the bytes of one record; false only if the grouper failed in a way
// it never should (it is declared not to throw).
bool group_record(const char* data, std::size_t length, cmg290::Result* out) noexcept {
  try {
    *out = cmg290::group(std::string_view(data, length));
    return true;
  } catch (...) {
    return false;
  }
}

// The JSON of the last explanation. It lives outside any call frame so that
// a server error raised while it is read (jsonb_in) unwinds past no C++
// object; the next call overwrites it.
std::string gExplainJson;

// Explains the bytes of one record into gExplainJson; false when that
// failed (out of memory).
bool explain_record(const char* data, std::size_t length, bool rawHighBytes) noexcept {
  try {
    cmg290::ExplainFormat format;
    format.rawHighBytes = rawHighBytes;
    gExplainJson = cmg290::explain_json(cmg290::explain(std::string_view(data, length)), format);
    return true;
  } catch (...) {
    gExplainJson.clear();
    gExplainJson.shrink_to_fit();
    return false;
  }
}

// One grouping result as SQL values. Outputs that the pass did not reach are
// NULL instead of their placeholders (five blanks, " 0.0", 0), so that
// counts and averages over a table skip ungrouped records by themselves:
//   cmg, motor and cognitive score  only when grouped (status 0);
//   age                             from the age check on (status 0, 7, 9);
//   table version                   when the version date selects one.
struct SqlRow {
  bool hasCmg;
  bool hasScores;
  bool hasAge;
  bool hasTableVersion;
  int64 motorTenths;
};

// Reads the motor score text ("52.3", ".7", "-.7", "-108.0") as tenths.
bool parse_tenths(const char* text, int64* tenths) {
  while (*text == ' ') ++text;
  const bool negative = *text == '-';
  if (negative) ++text;
  int64 value = 0;
  while (*text >= '0' && *text <= '9') value = value * 10 + (*text++ - '0');
  if (text[0] != '.' || text[1] < '0' || text[1] > '9' || text[2] != '\0') return false;
  value = value * 10 + (text[1] - '0');
  *tenths = negative ? -value : value;
  return true;
}

bool to_sql_row(const cmg290::Result& r, SqlRow* row) {
  const bool grouped = r.status == 0;
  row->hasCmg = grouped;
  row->hasScores = grouped;
  row->hasAge = grouped || r.status == 7 || r.status == 9;
  row->hasTableVersion = r.tableVersion[0] != ' ';
  row->motorTenths = 0;
  return !grouped || parse_tenths(r.motorScore, &row->motorTenths);
}

// What one function call site keeps between rows: the result row
// descriptor and the grouper version, which is the same for every row.
struct CallCache {
  TupleDesc tupdesc;
  Datum grouperVersion;
};

CallCache* call_cache(FunctionCallInfo fcinfo) {
  if (fcinfo->flinfo->fn_extra != nullptr) return static_cast<CallCache*>(fcinfo->flinfo->fn_extra);

  MemoryContext old = MemoryContextSwitchTo(fcinfo->flinfo->fn_mcxt);
  TupleDesc tupdesc;
  if (get_call_result_type(fcinfo, nullptr, &tupdesc) != TYPEFUNC_COMPOSITE)
    ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
                    errmsg("cmg290_group must be called where a composite result is accepted")));
  if (tupdesc->natts != kColumns)
    ereport(ERROR, (errcode(ERRCODE_DATATYPE_MISMATCH),
                    errmsg("cmg290_group is declared with %d result columns, the module returns %d",
                           tupdesc->natts, kColumns),
                    errhint("Update the extension: ALTER EXTENSION cmg290 UPDATE.")));
  auto* cache = static_cast<CallCache*>(palloc(sizeof(CallCache)));
  cache->tupdesc = BlessTupleDesc(tupdesc);
  cache->grouperVersion = PointerGetDatum(cstring_to_text(cmg290::kGrouperVersion.data()));
  MemoryContextSwitchTo(old);

  fcinfo->flinfo->fn_extra = cache;
  return cache;
}

}  // namespace

extern "C" PGDLLEXPORT Datum cmg290_group(PG_FUNCTION_ARGS) {
  // STRICT: a NULL record never gets here.
  text* record = PG_GETARG_TEXT_PP(0);
  CallCache* cache = call_cache(fcinfo);

  cmg290::Result result;
  if (!group_record(VARDATA_ANY(record), VARSIZE_ANY_EXHDR(record), &result))
    ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR), errmsg("cmg290: grouping failed")));

  SqlRow row;
  if (!to_sql_row(result, &row))
    ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR),
                    errmsg("cmg290: unexpected motor score text \"%s\"", result.motorScore)));

  Datum values[kColumns];
  bool nulls[kColumns] = {false, false, false, false, false, false, false};

  values[0] = Int32GetDatum(result.status);
  if (row.hasCmg)
    values[1] = PointerGetDatum(cstring_to_text(result.cmg));
  else
    nulls[1] = true;
  if (row.hasScores) {
    values[2] = NumericGetDatum(int64_div_fast_to_numeric(row.motorTenths, 1));
    values[3] = Int32GetDatum(result.cognitiveScore);
  } else {
    nulls[2] = nulls[3] = true;
  }
  if (row.hasAge)
    values[4] = Int32GetDatum(result.age);
  else
    nulls[4] = true;
  if (row.hasTableVersion)
    values[5] = PointerGetDatum(cstring_to_text(result.tableVersion));
  else
    nulls[5] = true;
  values[6] = cache->grouperVersion;

  PG_FREE_IF_COPY(record, 0);
  HeapTuple tuple = heap_form_tuple(cache->tupdesc, values, nulls);
  PG_RETURN_DATUM(HeapTupleGetDatum(tuple));
}

extern "C" PGDLLEXPORT Datum cmg290_explain(PG_FUNCTION_ARGS) {
  text* record = PG_GETARG_TEXT_PP(0);
  // Record bytes above 127 are written as \u0080 to \u00ff, which a database
  // in a real encoding takes as characters; a SQL_ASCII database cannot
  // convert such escapes and gets the bytes as they are.
  const bool rawHighBytes = GetDatabaseEncoding() == PG_SQL_ASCII;
  if (!explain_record(VARDATA_ANY(record), VARSIZE_ANY_EXHDR(record), rawHighBytes))
    ereport(ERROR,
            (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("cmg290: out of memory explaining a record")));
  PG_FREE_IF_COPY(record, 0);
  PG_RETURN_DATUM(DirectFunctionCall1(jsonb_in, CStringGetDatum(gExplainJson.c_str())));
}

extern "C" PGDLLEXPORT Datum cmg290_status_text(PG_FUNCTION_ARGS) {
  PG_RETURN_TEXT_P(cstring_to_text(cmg290::status_text(PG_GETARG_INT32(0))));
}
