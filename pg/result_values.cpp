#include "result_values.h"

extern "C" {
#include "utils/builtins.h"
#include "utils/numeric.h"
}

#include <algorithm>
#include <cstring>
#include <string_view>

namespace cmg290::pg {

namespace {

// The grouper is declared not to throw; this keeps it so across the C
// boundary whatever happens.
bool group_bytes(const char* data, std::size_t length, cmg290::Result* out) noexcept {
  try {
    *out = cmg290::group(std::string_view(data, length));
    return true;
  } catch (...) {
    return false;
  }
}

// Reads the motor score text ("52.3", ".7", "-.7", "-108.0") as tenths.
bool parse_tenths(const char* text, int* tenths) {
  while (*text == ' ') ++text;
  const bool negative = *text == '-';
  if (negative) ++text;
  int value = 0;
  for (int digits = 0; *text >= '0' && *text <= '9'; ++digits) {
    if (digits == 8) return false;
    value = value * 10 + (*text++ - '0');
  }
  if (text[0] != '.' || text[1] < '0' || text[1] > '9' || text[2] != '\0') return false;
  value = value * 10 + (text[1] - '0');
  *tenths = negative ? -value : value;
  return true;
}

}  // namespace

void group_text(text* record, cmg290::Result* out) {
  // The last record grouped in this backend and its result. A query that
  // asks for several outputs of one record through the one-value functions
  // (or through (cmg290_group(record)).*, which the server expands into one
  // call per column) groups it once: the calls after the first find the
  // same positions 1 to 1251 and take the result. Records that differ
  // usually do so within their first bytes, so a miss costs little.
  static char lastRecord[cmg290::kRecordLength];
  static std::size_t lastLength = 0;  // of the record, up to 1251
  static bool lastComplete = false;   // the record reached position 1251
  static bool lastValid = false;
  static cmg290::Result last;

  const char* data = VARDATA_ANY(record);
  const std::size_t size = VARSIZE_ANY_EXHDR(record);
  const std::size_t length = std::min(size, cmg290::kRecordLength);
  const bool complete = size >= cmg290::kRecordLength;
  if (lastValid && length == lastLength && complete == lastComplete &&
      std::memcmp(data, lastRecord, length) == 0) {
    *out = last;
    return;
  }
  lastValid = false;
  if (!group_bytes(data, size, out))
    ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR), errmsg("cmg290: grouping failed")));
  std::memcpy(lastRecord, data, length);
  lastLength = length;
  lastComplete = complete;
  last = *out;
  lastValid = true;
}

ValueCache* value_cache(FunctionCallInfo fcinfo) {
  if (fcinfo->flinfo->fn_extra != nullptr)
    return static_cast<ValueCache*>(fcinfo->flinfo->fn_extra);
  MemoryContext old = MemoryContextSwitchTo(fcinfo->flinfo->fn_mcxt);
  auto* cache = static_cast<ValueCache*>(palloc0(sizeof(ValueCache)));
  cache->grouperVersion = PointerGetDatum(cstring_to_text(cmg290::kGrouperVersion.data()));
  for (const char* label : {"2.40", "2.50", "2.60", "2.70", "2.82", "2.90"})
    cache->tableVersion[label[2] - '0'] = PointerGetDatum(cstring_to_text(label));
  MemoryContextSwitchTo(old);
  fcinfo->flinfo->fn_extra = cache;
  return cache;
}

Datum table_version_datum(const ValueCache& cache, const cmg290::Result& r) {
  const char c = r.tableVersion[2];
  if (c >= '4' && c <= '9' && cache.tableVersion[c - '0'] != 0 && r.tableVersion[4] == '\0')
    return cache.tableVersion[c - '0'];
  return PointerGetDatum(cstring_to_text(r.tableVersion));
}

Datum motor_score_datum(ValueCache& cache, MemoryContext cacheContext, const cmg290::Result& r) {
  int tenths = 0;
  if (!parse_tenths(r.motorScore, &tenths))
    ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR),
                    errmsg("cmg290: unexpected motor score text \"%s\"", r.motorScore)));
  if (tenths < ValueCache::kLowestTenths || tenths > ValueCache::kHighestTenths)
    return NumericGetDatum(int64_div_fast_to_numeric(tenths, 1));
  Datum& slot = cache.motor[tenths - ValueCache::kLowestTenths];
  if (slot == 0) {
    MemoryContext old = MemoryContextSwitchTo(cacheContext);
    slot = NumericGetDatum(int64_div_fast_to_numeric(tenths, 1));
    MemoryContextSwitchTo(old);
  }
  return slot;
}

Datum cmg_datum(const cmg290::Result& r) {
  return PointerGetDatum(cstring_to_text(r.cmg));
}

}  // namespace cmg290::pg
