#include "tier_walk.h"

#include <algorithm>
#include <cstring>

#include "cmg290/tier_tables.h"
#include "grouper/ric_exclusion.h"

namespace cmg290::explain_detail {

namespace {

using detail::ComorbidCodeList;
using detail::TableVersion;

// A list's parallel columns of fixed-width cells, read row by row.
struct Columns {
  TierList list;
  const char* name;
  const char* code;
  std::size_t codeWidth;
  const char* tier;
  std::size_t tierWidth;
  const char* rics;
  std::size_t ricsWidth;
  int rows;  // entries, rows 1 to rows

  const char* code_at(int r) const { return code + codeWidth * static_cast<std::size_t>(r); }
  char tier_at(int r) const { return tier[tierWidth * static_cast<std::size_t>(r)]; }
  const char* rics_at(int r) const { return rics + ricsWidth * static_cast<std::size_t>(r); }
};

template <std::size_t R, std::size_t WC, std::size_t WT, std::size_t WR>
Columns columns(TierList list, const char* name, const char (&code)[R][WC],
                const char (&tier)[R][WT], const char (&rics)[R][WR]) {
  return {list, name, code[0], WC, tier[0], WT, rics[0], WR, static_cast<int>(R) - 1};
}

// The cells a search compares: cells 1-10 (short scan) or cells 1-25 up to
// the first that begins with "^" (full scan).
struct Window {
  const ComorbidCodeList& codes;
  int cells;

  // The first cell (1-based) equal to the code as a whole text, or 0.
  int find(const char* code) const {
    for (int k = 0; k < cells; ++k) {
      const char* cell = codes.cell[k];
      if (cell[0] == code[0] && std::strcmp(cell, code) == 0) return k + 1;
    }
    return 0;
  }
};

// Rows 1 to N in order; the first row holding a code of the window and not
// excluded for the RIC (nor barred) decides. Rows holding a code but passed
// over are noted.
bool walk_list(const Columns& c, const Window& w, const char* ric, bool blankFree,
               const char (*flags)[3], TierStep& step) {
  step.lists.push_back({c.list, c.name, c.rows});
  for (int r = 1; r <= c.rows; ++r) {
    const int cell = w.find(c.code_at(r));
    if (cell == 0) continue;
    if (detail::ric_excluded(c.rics_at(r), ric, blankFree)) {
      step.skipped.push_back({c.list, r, c.code_at(r), cell, SkipReason::RicExcluded});
    } else if (flags != nullptr && flags[r][0] == '1') {
      step.skipped.push_back({c.list, r, c.code_at(r), cell, SkipReason::Barred});
    } else {
      step.letter = c.tier_at(r);
      step.decision = TierDecision{c.list, r, {c.code_at(r)}, {cell}};
      return true;
    }
  }
  return false;
}

struct PairColumns {
  const char (*code1)[9];
  const char (*code2)[9];
  const char (*tier)[3];
  const char (*rics)[21];
  const char* name;
};

// 2.82 and 2.90: the single-code list, then every pair row (the last
// qualifying one stands; a present pair excluded for the RIC bars its codes'
// secondary rows), then the secondary list.
void walk_three_stages(const Columns& single, const PairColumns& pairs, const Columns& secondary,
                       const Window& w, const char* ric, TierStep& step) {
  if (walk_list(single, w, ric, true, nullptr, step)) return;

  step.lists.push_back({TierList::Pair, pairs.name, kCmdPairRows - 1});
  char flags[kCmdSecondaryRows][3] = {};
  for (int k = 1; k < kCmdSecondaryRows; ++k) flags[k][0] = '0';
  for (int r = 1; r < kCmdPairRows; ++r) {
    const int cell1 = w.find(pairs.code1[r]);
    const int cell2 = w.find(pairs.code2[r]);
    if (cell1 == 0 || cell2 == 0) continue;
    if (detail::ric_excluded_blank_free(pairs.rics[r], ric)) {
      ExcludedPair excluded{r, pairs.code1[r], pairs.code2[r], cell1, cell2, {}};
      for (const char* code : {pairs.code1[r], pairs.code2[r]}) {
        for (int k = 1; k <= secondary.rows; ++k) {
          if (std::strcmp(secondary.code_at(k), code) == 0) {
            flags[k][0] = '1';
            excluded.barred.push_back(k);
            break;
          }
        }
      }
      step.excludedPairs.push_back(std::move(excluded));
    } else {
      step.letter = pairs.tier[r][0];
      step.decision =
          TierDecision{TierList::Pair, r, {pairs.code1[r], pairs.code2[r]}, {cell1, cell2}};
    }
  }
  for (int k = 1; k < kCmdSecondaryRows; ++k) {
    if (flags[k][0] == '1') step.barred.push_back(k);
  }
  if (step.decision) return;

  walk_list(secondary, w, ric, true, flags, step);
}

}  // namespace

TierStep walk_tier_rows(TableVersion version, const char* ric, const ComorbidCodeList& codes) {
  TierStep step{};
  step.letter = 'A';
  if (version == TableVersion::None) return step;
  step.tableVersion = detail::version_label(version);

  step.fullScan = detail::full_scan(version);
  int cells = detail::table_version_info(version).cells;
  if (step.fullScan) {
    for (int k = 0; k < cells; ++k) {
      if (codes.cell[k][0] == '^') {
        cells = k;
        step.caretCell = k + 1;
        break;
      }
    }
  }
  step.cellsScanned = cells;
  const Window w{codes, cells};

  switch (version) {
    case TableVersion::V240:
      walk_list(columns(TierList::Single, "CmdICD240", CmdICD240, CmdTier240, CmdRIC240), w, ric,
                false, nullptr, step);
      break;
    case TableVersion::V250:
      walk_list(columns(TierList::Single, "CmdICD250", CmdICD250, CmdTier250, CmdRIC250), w, ric,
                false, nullptr, step);
      break;
    case TableVersion::V260:
    case TableVersion::V270:
      walk_list(columns(TierList::Single, "CmdICD260", CmdICD260, CmdTier260, CmdRIC260), w, ric,
                false, nullptr, step);
      break;
    case TableVersion::V282:
      walk_three_stages(
          columns(TierList::Single, "CmdICD281s1", CmdICD281s1, CmdTier281s1, CmdRIC281s1),
          {CmdICD281c1, CmdICD281c2, CmdTier281c, CmdRIC281c, "CmdICD281c1, CmdICD281c2"},
          columns(TierList::Secondary, "CmdICD281s2", CmdICD281s2, CmdTier281s2, CmdRIC281s2), w,
          ric, step);
      break;
    case TableVersion::V290:
      walk_three_stages(
          columns(TierList::Single, "CmdICD290s1", CmdICD290s1, CmdTier290s1, CmdRIC290s1),
          {CmdICD290c1, CmdICD290c2, CmdTier290c, CmdRIC290c, "CmdICD290c1, CmdICD290c2"},
          columns(TierList::Secondary, "CmdICD290s2", CmdICD290s2, CmdTier290s2, CmdRIC290s2), w,
          ric, step);
      break;
    case TableVersion::None:
      break;
  }
  return step;
}

}  // namespace cmg290::explain_detail
