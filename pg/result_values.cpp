#include "result_values.h"

#include "memo/record_memo.h"
#include "tier_setting.h"

extern "C" {
#include "utils/builtins.h"
#include "utils/numeric.h"
}

#include <cstring>
#include <string_view>

#include "cmg290/tier_set.h"
#include "tables/table_versions.h"

namespace cmg290::pg {

namespace {

// The cache keeps each version's label by its third character.
constexpr bool third_characters_distinct() {
  bool seen[10] = {};
  for (const cmg290::detail::TableVersionInfo& v : cmg290::detail::kTableVersions) {
    const char c = v.label[2];
    if (c < '0' || c > '9' || seen[c - '0']) return false;
    seen[c - '0'] = true;
  }
  return true;
}
static_assert(third_characters_distinct(), "table version labels differ in their third character");

// The last record grouped in this backend and its result; forgotten when
// the tier-table set in use changes.
RecordMemo gLastRecord;

// The grouper is declared not to throw; this keeps it so across the C
// boundary whatever happens. No set: the compiled-in lists, through the
// compiled-in search.
bool group_bytes(const char* data, std::size_t length, const cmg290::TierSet* set,
                 cmg290::Result* out) noexcept {
  try {
    const std::string_view record(data, length);
    *out = set != nullptr ? cmg290::group(record, *set) : cmg290::group(record);
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

Datum copy_varlena(Datum value) {
  const void* from = DatumGetPointer(value);
  const std::size_t n = VARSIZE_ANY(from);
  void* to = palloc(n);
  std::memcpy(to, from, n);
  return PointerGetDatum(to);
}

void group_text(text* record, cmg290::Result* out) {
  const cmg290::TierSet* set = tier_set_in_use();
  const char* data = VARDATA_ANY(record);
  const std::size_t size = VARSIZE_ANY_EXHDR(record);
  if (gLastRecord.find(data, size, out)) return;
  gLastRecord.forget();
  if (!group_bytes(data, size, set, out))
    ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR), errmsg("cmg290: grouping failed")));
  gLastRecord.keep(data, size, *out);
}

void forget_last_record() {
  gLastRecord.forget();
}

ValueCache* value_cache(FunctionCallInfo fcinfo) {
  if (fcinfo->flinfo->fn_extra != nullptr)
    return static_cast<ValueCache*>(fcinfo->flinfo->fn_extra);
  MemoryContext old = MemoryContextSwitchTo(fcinfo->flinfo->fn_mcxt);
  auto* cache = static_cast<ValueCache*>(palloc0(sizeof(ValueCache)));
  cache->grouperVersion = PointerGetDatum(cstring_to_text(cmg290::kGrouperVersion.data()));
  for (const cmg290::detail::TableVersionInfo& v : cmg290::detail::kTableVersions)
    cache->tableVersion[v.label[2] - '0'] = PointerGetDatum(cstring_to_text(v.label));
  MemoryContextSwitchTo(old);
  fcinfo->flinfo->fn_extra = cache;
  return cache;
}

Datum table_version_datum(const ValueCache& cache, const cmg290::Result& r) {
  const char c = r.tableVersion[2];
  if (c >= '0' && c <= '9' && cache.tableVersion[c - '0'] != 0 && r.tableVersion[4] == '\0')
    return cache.tableVersion[c - '0'];
  return table_version_text(r);
}

Datum table_version_text(const cmg290::Result& r) {
  return text_datum(r.tableVersion);
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
  return text_datum(r.cmg);
}

}  // namespace cmg290::pg
