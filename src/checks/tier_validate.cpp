// Structural checks of the comorbidity tier tables.
#include "checks/tier_validate.h"

#include <set>
#include <span>
#include <string_view>
#include <utility>

#include "checks/tier_check.h"
#include "checks/tier_expected.h"
#include "cmg290/tier_tables.h"

namespace cmg290::tables {

namespace {

using detail::TableVersion;

// The compiled columns, a set per list and, for the lists that 2.82 and 2.90
// share, per version: the member of TierTables that views them, the list,
// the first version that reads them, and their names. The kind is the
// catalogue's.
struct ColumnSet {
  TierList TierTables::*member;
  TierSetList list;
  TableVersion version;
  TierList columns;
};

constexpr TierList single(const char* name, Column code, Column tier, Column rics) {
  return {name, ListKind::kEarlySingle, code, {}, tier, rics, {}};
}
constexpr TierList pairs(const char* name, Column code1, Column code2, Column tier, Column rics) {
  return {name, ListKind::kPair, code1, code2, tier, rics, {}};
}
constexpr TierList secondary(const char* name, Column code, Column tier, Column rics,
                             Column eflag) {
  return {name, ListKind::kSecondary, code, {}, tier, rics, eflag};
}

#define COLUMN(name) column(#name, name)
constexpr ColumnSet kColumnSets[] = {
    {&TierTables::list240, TierSetList::Single240, TableVersion::V240,
     single("240", COLUMN(CmdICD240), COLUMN(CmdTier240), COLUMN(CmdRIC240))},
    {&TierTables::list250, TierSetList::Single250, TableVersion::V250,
     single("250", COLUMN(CmdICD250), COLUMN(CmdTier250), COLUMN(CmdRIC250))},
    {&TierTables::list260, TierSetList::Single260, TableVersion::V260,
     single("260", COLUMN(CmdICD260), COLUMN(CmdTier260), COLUMN(CmdRIC260))},
    {&TierTables::list282s1, TierSetList::Single282, TableVersion::V282,
     single("281s1", COLUMN(CmdICD281s1), COLUMN(CmdTier281s1), COLUMN(CmdRIC281s1))},
    {&TierTables::list290s1, TierSetList::Single290, TableVersion::V290,
     single("290s1", COLUMN(CmdICD290s1), COLUMN(CmdTier290s1), COLUMN(CmdRIC290s1))},
    {&TierTables::list282c, TierSetList::Pair, TableVersion::V282,
     pairs("281c", COLUMN(CmdICD281c1), COLUMN(CmdICD281c2), COLUMN(CmdTier281c),
           COLUMN(CmdRIC281c))},
    {&TierTables::list290c, TierSetList::Pair, TableVersion::V290,
     pairs("290c", COLUMN(CmdICD290c1), COLUMN(CmdICD290c2), COLUMN(CmdTier290c),
           COLUMN(CmdRIC290c))},
    {&TierTables::list282s2, TierSetList::Secondary, TableVersion::V282,
     secondary("281s2", COLUMN(CmdICD281s2), COLUMN(CmdTier281s2), COLUMN(CmdRIC281s2),
               COLUMN(CmdEflag281s2))},
    {&TierTables::list290s2, TierSetList::Secondary, TableVersion::V290,
     secondary("290s2", COLUMN(CmdICD290s2), COLUMN(CmdTier290s2), COLUMN(CmdRIC290s2),
               COLUMN(CmdEflag290s2))},
};
#undef COLUMN

}  // namespace

TierTables compiled_tier_tables() {
  TierTables t;
  for (const ColumnSet& s : kColumnSets) {
    t.*s.member = s.columns;
    (t.*s.member).kind = tier_list(s.list).kind;
  }
  return t;
}

const TierList& compiled_list(const TierTables& t, TierSetList list, TableVersion version) {
  TierList TierTables::*member = nullptr;
  for (const ColumnSet& s : kColumnSets) {
    if (s.list == list && (member == nullptr || s.version <= version)) member = s.member;
  }
  return t.*member;
}

std::vector<TierList TierTables::*> compiled_sets(TierSetList list) {
  std::vector<TierList TierTables::*> out;
  for (const ColumnSet& s : kColumnSets) {
    if (s.list == list) out.push_back(s.member);
  }
  return out;
}

using namespace tier_check;

namespace {

// The shape the catalogue gives a list (tier_lists.def).
Shape shape_of(TierSetList list) {
  const TierListInfo& l = tier_list(list);
  return {l.entries, l.codeWidth, l.tierWidth, l.ricsWidth, l.codeRow0, l.ricsRow0};
}

// The checks between versions, adding no finding for a row that already has
// one of the contents: the fixed-row checks name a changed entry first, by
// the rule it breaks, and the change is reported once.
void check_versions_once(std::vector<TierFinding>& out, const TierList& from, const TierList& to,
                         const std::vector<Change>& drops, const std::vector<Change>& adds) {
  std::set<std::pair<std::string, int>> named;
  for (const TierFinding& f : out) {
    if (f.fault == TierFault::kContents && f.row >= 1) named.emplace(f.list, f.row);
  }
  std::vector<TierFinding> found;
  Report rep(found);
  rep.kind(TierFault::kContents);
  check_versions(rep, from, to, drops, adds);
  for (TierFinding& f : found) {
    if (f.row < 1 || !named.contains({f.list, f.row})) out.push_back(std::move(f));
  }
}

bool check_list(Report& rep, const TierList& l, const Shape& shape) {
  if (!check_cells(rep, l, shape)) return false;
  check_formats(rep, l);
  if (l.kind != ListKind::kPair) check_order(rep, l);
  return true;
}

}  // namespace

std::vector<TierFinding> find_tier_faults(const TierTables& t) {
  std::vector<TierFinding> out;
  Report rep(out);

  // The checks of one single-code list, given its shape passed.
  const std::span<const ex::EarlyRicCount> early = ex::kEarlyRicCounts;
  auto check_early = [&](const TierList& l, const Shape& shape, std::span<const ex::Entry> lastD,
                         int ex::EarlyRicCount::*counts) {
    if (!check_list(rep, l, shape)) return false;
    rep.kind(TierFault::kContents);
    check_fixed_rows(rep, l, ex::kEarlyRows, ex::kEarlyFirstD, lastD);
    check_three_char_early(rep, l);
    check_ric_counts(rep, l, counts_of(early, counts));
    rep.kind(TierFault::kStructure);
    return true;
  };
  const bool ok240 = check_early(t.list240, shape_of(TierSetList::Single240), ex::kEarlyLastD240,
                                 &ex::EarlyRicCount::in240);
  const bool ok250 = check_early(t.list250, shape_of(TierSetList::Single250), ex::kEarlyLastD240,
                                 &ex::EarlyRicCount::in250);
  const bool ok260 = check_early(t.list260, shape_of(TierSetList::Single260), ex::kEarlyLastD260,
                                 &ex::EarlyRicCount::in260);
  rep.kind(TierFault::kContents);
  if (ok240 && ok250) {
    check_versions_once(out, t.list240, t.list250, changes(ex::kDrop250), changes(ex::kAdd250));
  }
  if (ok250 && ok260) {
    check_versions_once(out, t.list250, t.list260, changes(ex::kDrop260), changes(ex::kAdd260));
  }

  rep.kind(TierFault::kStructure);
  const std::span<const ex::LateRicCount> late = ex::kLateRicCounts;
  auto check_late = [&](const TierList& l, const Shape& shape, int ex::LateRicCount::*counts) {
    if (!check_list(rep, l, shape)) return false;
    rep.kind(TierFault::kContents);
    check_fixed_rows(rep, l, ex::kLateRows, ex::kLateFirstD, ex::kLateLastD);
    check_three_char_late(rep, l);
    check_ric_counts(rep, l, counts_of(late, counts));
    rep.kind(TierFault::kStructure);
    return true;
  };
  const bool ok282 =
      check_late(t.list282s1, shape_of(TierSetList::Single282), &ex::LateRicCount::in282);
  const bool ok290 =
      check_late(t.list290s1, shape_of(TierSetList::Single290), &ex::LateRicCount::in290);
  rep.kind(TierFault::kContents);
  if (ok282 && ok290) {
    std::vector<Change> drops = diabetes_codes(false);
    std::vector<Change> adds = diabetes_codes(true);
    for (const Change& c : changes(ex::kDrop290)) drops.push_back(c);
    for (const Change& c : changes(ex::kAdd290)) adds.push_back(c);
    check_versions_once(out, t.list282s1, t.list290s1, drops, adds);
  }

  rep.kind(TierFault::kStructure);
  const bool ok282c = check_list(rep, t.list282c, shape_of(TierSetList::Pair));
  const bool ok290c = check_list(rep, t.list290c, shape_of(TierSetList::Pair));
  const bool ok282s2 = check_list(rep, t.list282s2, shape_of(TierSetList::Secondary));
  const bool ok290s2 = check_list(rep, t.list290s2, shape_of(TierSetList::Secondary));
  rep.kind(TierFault::kContents);
  if (ok282c) check_pairs(rep, t.list282c);
  if (ok290c) check_pairs(rep, t.list290c);
  if (ok282s2) check_secondary(rep, t.list282s2);
  if (ok290s2) check_secondary(rep, t.list290s2);
  if (ok282c && ok290c) check_identical(rep, t.list282c, t.list290c);
  if (ok282s2 && ok290s2) check_identical(rep, t.list282s2, t.list290s2);
  rep.kind(TierFault::kStructure);
  if (ok282 && ok282c && ok282s2) check_relations(rep, t.list282s1, t.list282c, t.list282s2);
  if (ok290 && ok290c && ok290s2) check_relations(rep, t.list290s1, t.list290c, t.list290s2);
  return out;
}

std::vector<std::string> check_tier_tables(const TierTables& t) {
  std::vector<std::string> out;
  for (TierFinding& f : find_tier_faults(t)) out.push_back(std::move(f.text));
  return out;
}

}  // namespace cmg290::tables
