#include "explain/tier_walk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "checks/tier_validate.h"
#include "cmg290/tier_tables.h"
#include "grouper/ric_exclusion.h"
#include "tables/tier_catalogue.h"

namespace cmg290::explain_detail {

namespace {

using detail::ComorbidCodeList;
using detail::TableVersion;

// A list's parallel columns of fixed-width cells, read row by row.
struct Columns {
  TierList list;
  const char* name;
  tables::Column code, code2, tier, rics;
  int rows;  // entries, rows 1 to rows

  const char* code_at(int r) const { return code.cell(r); }
  const char* code2_at(int r) const { return code2.cell(r); }
  char tier_at(int r) const { return tier.cell(r)[0]; }
  const char* rics_at(int r) const { return rics.cell(r); }
};

Columns columns(TierList list, const char* name, const tables::TierList& l) {
  return {list, name, l.code, l.code2, l.tier, l.rics, l.code.rows - 1};
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
               const char* barred, TierStep& step) {
  step.lists.push_back({c.list, c.name, c.rows});
  for (int r = 1; r <= c.rows; ++r) {
    const int cell = w.find(c.code_at(r));
    if (cell == 0) continue;
    if (detail::ric_excluded(c.rics_at(r), ric, blankFree)) {
      step.skipped.push_back({c.list, r, c.code_at(r), cell, SkipReason::RicExcluded});
    } else if (barred != nullptr && barred[r] != 0) {
      step.skipped.push_back({c.list, r, c.code_at(r), cell, SkipReason::Barred});
    } else {
      step.letter = c.tier_at(r);
      step.decision = TierDecision{c.list, r, {c.code_at(r)}, {cell}};
      return true;
    }
  }
  return false;
}

// 2.82 and 2.90: the single-code list, then every pair row (the last
// qualifying one stands; a present pair excluded for the RIC bars its codes'
// secondary rows), then the secondary list.
void walk_three_stages(const Columns& single, const Columns& pairs, const Columns& secondary,
                       const Window& w, const char* ric, TierStep& step) {
  if (walk_list(single, w, ric, true, nullptr, step)) return;

  step.lists.push_back({TierList::Pair, pairs.name, pairs.rows});
  std::vector<char> barredRows(static_cast<std::size_t>(secondary.rows) + 1, 0);
  for (int r = 1; r <= pairs.rows; ++r) {
    const int cell1 = w.find(pairs.code_at(r));
    const int cell2 = w.find(pairs.code2_at(r));
    if (cell1 == 0 || cell2 == 0) continue;
    if (detail::ric_excluded_blank_free(pairs.rics_at(r), ric)) {
      ExcludedPair excluded{r, pairs.code_at(r), pairs.code2_at(r), cell1, cell2, {}, 0, {}};
      for (const char* code : {pairs.code_at(r), pairs.code2_at(r)}) {
        for (int k = 1; k <= secondary.rows; ++k) {
          if (std::strcmp(secondary.code_at(k), code) == 0) {
            barredRows[k] = 1;
            excluded.barred.push_back(k);
            break;
          }
        }
      }
      step.excludedPairs.push_back(std::move(excluded));
    } else {
      step.letter = pairs.tier_at(r);
      step.decision =
          TierDecision{TierList::Pair, r, {pairs.code_at(r), pairs.code2_at(r)}, {cell1, cell2}};
    }
  }
  for (int k = 1; k <= secondary.rows; ++k) {
    if (barredRows[k]) step.barred.push_back(k);
  }
  if (step.decision) return;

  walk_list(secondary, w, ric, true, barredRows.data(), step);
}

}  // namespace

WalkLists compiled_walk_lists(TableVersion version) {
  if (version == TableVersion::None) return {};
  static const tables::TierTables t = tables::compiled_tier_tables();
  const tables::VersionLists& lists = tables::lists_of(version);
  const tables::TierList& single = tables::compiled_list(t, lists.single, version);
  if (!lists.pairStage) return {single.code.name, single, nullptr, {}, nullptr, {}};
  const tables::TierList& pairs = tables::compiled_list(t, TierSetList::Pair, version);
  const tables::TierList& secondary = tables::compiled_list(t, TierSetList::Secondary, version);
  // "CmdICD281c1, CmdICD281c2": the names of both code columns, per version.
  static const auto pairNames = [] {
    std::array<std::string, std::size(detail::kTableVersions) + 1> out;
    for (const detail::TableVersionInfo& v : detail::kTableVersions) {
      const tables::TierList& p = tables::compiled_list(t, TierSetList::Pair, v.id);
      out[static_cast<std::size_t>(v.id)] = std::string(p.code.name) + ", " + p.code2.name;
    }
    return out;
  }();
  return {
      single.code.name,    single,   pairNames[static_cast<std::size_t>(version)].c_str(), pairs,
      secondary.code.name, secondary};
}

TierStep walk_tier_rows(TableVersion version, const char* ric, const ComorbidCodeList& codes) {
  return walk_tier_rows(version, ric, codes, compiled_walk_lists(version));
}

TierStep walk_tier_rows(TableVersion version, const char* ric, const ComorbidCodeList& codes,
                        const WalkLists& lists) {
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

  const Columns single = columns(TierList::Single, lists.singleName, lists.single);
  if (lists.pairsName == nullptr) {
    walk_list(single, w, ric, lists.single.kind != tables::ListKind::kEarlySingle, nullptr, step);
  } else {
    walk_three_stages(single, columns(TierList::Pair, lists.pairsName, lists.pairs),
                      columns(TierList::Secondary, lists.secondaryName, lists.secondary), w, ric,
                      step);
  }
  return step;
}

}  // namespace cmg290::explain_detail
