#include "grouper/classify.h"

#include <array>
#include <cstring>

#include "cmg290/tables.h"
#include "grouper/code_map.h"
#include "grouper/decimal.h"
#include "grouper/packed_code.h"

namespace cmg290::detail {

namespace {

// The impairment codes packed for a fast whole-text comparison; built from
// the same rows as Imp240.
constexpr std::uint64_t kImpairmentKeys[kImpairmentRows] = {
    pack_code("  "),
#define IMP(code, ric) pack_code(code),
#include "tables/impairment.def"
#undef IMP
};
#define IMP(code, ric) static_assert(bounded_length(code, 9) <= 7, "impairment codes fit the key");
#include "tables/impairment.def"
#undef IMP

// The keys hashed to their rows, for one lookup instead of a search; the
// codes are distinct, so the row found is the one a scan from row 1 finds.
constexpr auto kImpairmentMap = [] {
  CodeMap<kImpairmentRows> map;
  for (int row = 1; row < kImpairmentRows; ++row) map.add(kImpairmentKeys[row], row);
  return map;
}();

constexpr bool distinct_keys() {
  for (int row = 1; row < kImpairmentRows; ++row) {
    if (kImpairmentMap.find(kImpairmentKeys[row]) != row) return false;
  }
  return true;
}
static_assert(distinct_keys(), "impairment codes are distinct");

// The CMG table's bounds as numbers, converted once at compile time from
// the same rows as the text columns. A blank cell sets no bound.
struct CmgBounds {
  int ric;
  int motLow, motHigh;
  bool cogBound;
  int cogLow, cogHigh;
  bool ageBound;
  int ageLow, ageHigh;
};

constexpr bool bound_set(const char* low, const char* high) {
  return low[0] != ' ' && high[0] != ' ';
}

constexpr CmgBounds kCmgBounds[kCmgRows] = {
    {},
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg)                              \
  {to_int(ric), to_int(ml),        to_int(mh), bound_set(cl, ch), to_int(cl), \
   to_int(ch),  bound_set(al, ah), to_int(al), to_int(ah)},
#include "tables/cmg.def"
#undef CMGROW
};

// The rows of each RIC. The table holds them together in ascending RIC
// order, so scanning a RIC's rows finds what a scan of the whole table finds.
struct RicRows {
  int first = 0, end = 0;
};

constexpr auto kRicRows = [] {
  std::array<RicRows, 100> rows{};
  for (int row = 1; row < kCmgRows; ++row) {
    RicRows& r = rows[kCmgBounds[row].ric];
    if (r.first == 0) r.first = row;
    r.end = row + 1;
  }
  return rows;
}();

constexpr bool rics_grouped() {
  for (int row = 2; row < kCmgRows; ++row) {
    if (kCmgBounds[row].ric < kCmgBounds[row - 1].ric) return false;
  }
  return true;
}
static_assert(rics_grouped(), "CMG rows are grouped by RIC in ascending order");
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) \
  static_assert(ric_number(ric) != 0, "CMG rows name a two-digit RIC");
#include "tables/cmg.def"
#undef CMGROW

}  // namespace

int find_impairment_row(const char (&key)[8]) {
  // The key holds at most seven characters and its terminator: one word.
  return kImpairmentMap.find(pack_word(key));
}

int motor_sum(const Fields& f) {
  int sum = 0;
  for (int k = 0; k < kMotorItems; ++k) {
    sum += counted_motor_value(k, item_value_fast(f.motor[k])) * kMotorWeight[k];
  }
  return sum;
}

int motor_text(int motorSum, char* out) {
  // "%d" of the sum, then the point inserted before the last digit.
  char reversed[12];
  int n = 0;
  long long v = motorSum;
  const bool negative = v < 0;
  if (negative) v = -v;
  do {
    reversed[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  int j = 0;
  if (negative) out[j++] = '-';
  while (n > 1) out[j++] = reversed[--n];
  out[j++] = '.';
  out[j++] = reversed[0];
  out[j] = '\0';
  return j;
}

int cognitive_sum(const Fields& f) {
  int sum = 0;
  for (int k = 0; k < kCognitiveItems; ++k) {
    sum += counted_cognitive_value(item_value_fast(f.cognitive[k]));
  }
  return sum;
}

int find_cmg_row(const char* ric, int motorSum, int cognitiveSum, int age) {
  const RicRows rows = kRicRows[ric_number(ric)];  // none for "00" or a bad text
  for (int row = rows.first; row < rows.end; ++row) {
    const CmgBounds& b = kCmgBounds[row];
    if (motorSum < b.motLow || motorSum > b.motHigh) continue;
    if (b.cogBound && (cognitiveSum < b.cogLow || cognitiveSum > b.cogHigh)) continue;
    if (!b.ageBound || (age >= b.ageLow && age <= b.ageHigh)) return row;
  }
  return 0;
}

}  // namespace cmg290::detail
