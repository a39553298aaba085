// PostgreSQL entry points: cmg290_group(text), its one-value forms and
// cmg290_status_text(int), and the module's start (its settings). See result_values.h for what each
// output holds and when it is NULL.

extern "C" {
#include "postgres.h"

#include "access/htup_details.h"
#include "fmgr.h"
#include "funcapi.h"
#include "utils/builtins.h"
}

#include "result_values.h"
#include "tier_setting.h"

extern "C" {
PG_MODULE_MAGIC;

PG_FUNCTION_INFO_V1(cmg290_group);
PG_FUNCTION_INFO_V1(cmg290_status);
PG_FUNCTION_INFO_V1(cmg290_cmg);
PG_FUNCTION_INFO_V1(cmg290_motor_score);
PG_FUNCTION_INFO_V1(cmg290_cognitive_score);
PG_FUNCTION_INFO_V1(cmg290_age);
PG_FUNCTION_INFO_V1(cmg290_table_version);
PG_FUNCTION_INFO_V1(cmg290_status_text);
}

extern "C" PGDLLEXPORT void _PG_init(void) {
  cmg290::pg::define_tier_settings();
}

namespace {

using cmg290::pg::ValueCache;

constexpr int kColumns = 7;

// The result row descriptor, looked up once per call site.
TupleDesc result_row(FunctionCallInfo fcinfo, ValueCache* cache) {
  if (cache->tupdesc != nullptr) return cache->tupdesc;
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
  cache->tupdesc = BlessTupleDesc(tupdesc);
  MemoryContextSwitchTo(old);
  return cache->tupdesc;
}

// Groups the function's record argument (STRICT: never NULL here).
cmg290::Result group_argument(FunctionCallInfo fcinfo) {
  text* record = PG_GETARG_TEXT_PP(0);
  cmg290::Result result;
  cmg290::pg::group_text(record, &result);
  PG_FREE_IF_COPY(record, 0);
  return result;
}

}  // namespace

extern "C" PGDLLEXPORT Datum cmg290_group(PG_FUNCTION_ARGS) {
  ValueCache* cache = cmg290::pg::value_cache(fcinfo);
  TupleDesc tupdesc = result_row(fcinfo, cache);
  const cmg290::Result r = group_argument(fcinfo);

  Datum values[kColumns];
  bool nulls[kColumns] = {false, false, false, false, false, false, false};
  values[0] = Int32GetDatum(r.status);
  if (cmg290::pg::has_cmg(r))
    values[1] = cmg290::pg::cmg_datum(r);
  else
    nulls[1] = true;
  if (cmg290::pg::has_scores(r)) {
    values[2] = cmg290::pg::motor_score_datum(*cache, fcinfo->flinfo->fn_mcxt, r);
    values[3] = Int32GetDatum(r.cognitiveScore);
  } else {
    nulls[2] = nulls[3] = true;
  }
  if (cmg290::pg::has_age(r))
    values[4] = Int32GetDatum(r.age);
  else
    nulls[4] = true;
  if (cmg290::pg::has_table_version(r))
    values[5] = cmg290::pg::table_version_datum(*cache, r);
  else
    nulls[5] = true;
  values[6] = cache->grouperVersion;

  HeapTuple tuple = heap_form_tuple(tupdesc, values, nulls);
  PG_RETURN_DATUM(HeapTupleGetDatum(tuple));
}

// One output of the grouping each, for questions that need only that one:
// no composite row is built. NULL where cmg290_group's column is NULL.

extern "C" PGDLLEXPORT Datum cmg290_status(PG_FUNCTION_ARGS) {
  PG_RETURN_INT32(group_argument(fcinfo).status);
}

extern "C" PGDLLEXPORT Datum cmg290_cmg(PG_FUNCTION_ARGS) {
  const cmg290::Result r = group_argument(fcinfo);
  if (!cmg290::pg::has_cmg(r)) PG_RETURN_NULL();
  PG_RETURN_DATUM(cmg290::pg::cmg_datum(r));
}

extern "C" PGDLLEXPORT Datum cmg290_motor_score(PG_FUNCTION_ARGS) {
  ValueCache* cache = cmg290::pg::value_cache(fcinfo);
  const cmg290::Result r = group_argument(fcinfo);
  if (!cmg290::pg::has_scores(r)) PG_RETURN_NULL();
  // A copy: the caller owns what a function returns.
  const Datum cached = cmg290::pg::motor_score_datum(*cache, fcinfo->flinfo->fn_mcxt, r);
  PG_RETURN_DATUM(cmg290::pg::copy_varlena(cached));
}

extern "C" PGDLLEXPORT Datum cmg290_cognitive_score(PG_FUNCTION_ARGS) {
  const cmg290::Result r = group_argument(fcinfo);
  if (!cmg290::pg::has_scores(r)) PG_RETURN_NULL();
  PG_RETURN_INT32(r.cognitiveScore);
}

extern "C" PGDLLEXPORT Datum cmg290_age(PG_FUNCTION_ARGS) {
  const cmg290::Result r = group_argument(fcinfo);
  if (!cmg290::pg::has_age(r)) PG_RETURN_NULL();
  PG_RETURN_INT32(r.age);
}

extern "C" PGDLLEXPORT Datum cmg290_table_version(PG_FUNCTION_ARGS) {
  const cmg290::Result r = group_argument(fcinfo);
  if (!cmg290::pg::has_table_version(r)) PG_RETURN_NULL();
  PG_RETURN_DATUM(cmg290::pg::table_version_text(r));
}

extern "C" PGDLLEXPORT Datum cmg290_status_text(PG_FUNCTION_ARGS) {
  PG_RETURN_TEXT_P(cstring_to_text(cmg290::status_text(PG_GETARG_INT32(0))));
}
