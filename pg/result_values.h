// What the extension's functions share: grouping one text value, and the
// SQL values of a result. Outputs that the pass did not reach (which, for
// each status, cmg290/status.def says) are NULL instead of their reset
// values (five blanks, " 0.0", 0), so that counts and averages over a table
// skip ungrouped records by themselves; the table version is NULL when the
// version date selects none.
//
// The server is C and reports errors with longjmp: nothing here keeps a C++
// object with a destructor alive across a call that may raise a server
// error, and no C++ exception leaves the grouper's call.
#pragma once

extern "C" {
#include "postgres.h"

#include "access/tupdesc.h"
#include "fmgr.h"
}

#include <cstddef>
#include <cstring>

#include "cmg290/cmg290.h"
#include "cmg290/status.h"

namespace cmg290::pg {

// Groups the bytes of a text value (positions past its end read as blanks)
// with the tier-table set in use (tier_setting.h). The same record as the
// backend's last one takes that one's result without grouping again (see
// memo/record_memo.h).
void group_text(text* record, cmg290::Result* out);
// Forgets the last record: called when the set in use changes.
void forget_last_record();

inline bool has_cmg(const cmg290::Result& r) {
  return cmg290::reaches_cmg_and_scores(r.status);
}
inline bool has_scores(const cmg290::Result& r) {
  return cmg290::reaches_cmg_and_scores(r.status);
}
inline bool has_age(const cmg290::Result& r) {
  return cmg290::reaches_age(r.status);
}
inline bool has_table_version(const cmg290::Result& r) {
  return r.tableVersion[0] != ' ';
}

// Values that recur from row to row, made once per call site in its memory
// context: the version labels, and the motor scores as numeric, each made
// the first time it occurs.
struct ValueCache {
  static constexpr int kLowestTenths = -1200;   // item values reach -9 to 99,
  static constexpr int kHighestTenths = 12000;  // weights add up to 120
  TupleDesc tupdesc;  // the result row of cmg290_group, set by its first call
  Datum grouperVersion;
  Datum tableVersion[10];  // by the label's third character, a digit
  Datum motor[kHighestTenths - kLowestTenths + 1];
};

// The call site's cache, made on its first call.
ValueCache* value_cache(FunctionCallInfo fcinfo);

// A text value of a result's text field, up to its NUL. The field is copied
// whole, a copy of fixed size, and the value's length set after.
template <std::size_t N>
Datum text_datum(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N - 1 && field[n] != '\0') ++n;
  text* t = static_cast<text*>(palloc(VARHDRSZ + N - 1));
  std::memcpy(VARDATA(t), field, N - 1);
  SET_VARSIZE(t, VARHDRSZ + n);
  return PointerGetDatum(t);
}
// A copy of a varlena value in the current memory context.
Datum copy_varlena(Datum value);

// The values of a result; the caller checks what the result reached. The
// table version comes from the cache (to be copied, or put in a row) or
// newly made.
Datum table_version_datum(const ValueCache& cache, const cmg290::Result& r);
Datum table_version_text(const cmg290::Result& r);
Datum motor_score_datum(ValueCache& cache, MemoryContext cacheContext, const cmg290::Result& r);
Datum cmg_datum(const cmg290::Result& r);

}  // namespace cmg290::pg
