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

TierTables compiled_tier_tables() {
  TierTables t;
  t.list240 = {"240", ListKind::kEarlySingle,           column("CmdICD240", CmdICD240),
               {},    column("CmdTier240", CmdTier240), column("CmdRIC240", CmdRIC240),
               {}};
  t.list250 = {"250", ListKind::kEarlySingle,           column("CmdICD250", CmdICD250),
               {},    column("CmdTier250", CmdTier250), column("CmdRIC250", CmdRIC250),
               {}};
  t.list260 = {"260", ListKind::kEarlySingle,           column("CmdICD260", CmdICD260),
               {},    column("CmdTier260", CmdTier260), column("CmdRIC260", CmdRIC260),
               {}};
  t.list282s1 = {"281s1",
                 ListKind::kLateSingle,
                 column("CmdICD281s1", CmdICD281s1),
                 {},
                 column("CmdTier281s1", CmdTier281s1),
                 column("CmdRIC281s1", CmdRIC281s1),
                 {}};
  t.list290s1 = {"290s1",
                 ListKind::kLateSingle,
                 column("CmdICD290s1", CmdICD290s1),
                 {},
                 column("CmdTier290s1", CmdTier290s1),
                 column("CmdRIC290s1", CmdRIC290s1),
                 {}};
  t.list282c = {"281c",
                ListKind::kPair,
                column("CmdICD281c1", CmdICD281c1),
                column("CmdICD281c2", CmdICD281c2),
                column("CmdTier281c", CmdTier281c),
                column("CmdRIC281c", CmdRIC281c),
                {}};
  t.list290c = {"290c",
                ListKind::kPair,
                column("CmdICD290c1", CmdICD290c1),
                column("CmdICD290c2", CmdICD290c2),
                column("CmdTier290c", CmdTier290c),
                column("CmdRIC290c", CmdRIC290c),
                {}};
  t.list282s2 = {"281s2",
                 ListKind::kSecondary,
                 column("CmdICD281s2", CmdICD281s2),
                 {},
                 column("CmdTier281s2", CmdTier281s2),
                 column("CmdRIC281s2", CmdRIC281s2),
                 column("CmdEflag281s2", CmdEflag281s2)};
  t.list290s2 = {"290s2",
                 ListKind::kSecondary,
                 column("CmdICD290s2", CmdICD290s2),
                 {},
                 column("CmdTier290s2", CmdTier290s2),
                 column("CmdRIC290s2", CmdRIC290s2),
                 column("CmdEflag290s2", CmdEflag290s2)};
  return t;
}

using namespace tier_check;

namespace {

constexpr std::string_view kEightBlanks = "        ";
constexpr Shape kShape240 = {946, 8, 8, 20, " ", " "};
constexpr Shape kShape250 = {951, 8, 2, 20, " ", " "};
constexpr Shape kShape260 = {967, 8, 2, 20, " ", " "};
constexpr Shape kShape282s1 = {1002, 9, 3, 21, kEightBlanks, " "};
constexpr Shape kShape290s1 = {1156, 9, 3, 21, kEightBlanks, "  "};
constexpr Shape kShapePair = {63, 9, 3, 21, kEightBlanks, " "};
constexpr Shape kShapeSecondary = {48, 9, 3, 21, kEightBlanks, " "};

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
  const bool ok240 =
      check_early(t.list240, kShape240, ex::kEarlyLastD240, &ex::EarlyRicCount::in240);
  const bool ok250 =
      check_early(t.list250, kShape250, ex::kEarlyLastD240, &ex::EarlyRicCount::in250);
  const bool ok260 =
      check_early(t.list260, kShape260, ex::kEarlyLastD260, &ex::EarlyRicCount::in260);
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
  const bool ok282 = check_late(t.list282s1, kShape282s1, &ex::LateRicCount::in282);
  const bool ok290 = check_late(t.list290s1, kShape290s1, &ex::LateRicCount::in290);
  rep.kind(TierFault::kContents);
  if (ok282 && ok290) {
    std::vector<Change> drops = diabetes_codes(false);
    std::vector<Change> adds = diabetes_codes(true);
    for (const Change& c : changes(ex::kDrop290)) drops.push_back(c);
    for (const Change& c : changes(ex::kAdd290)) adds.push_back(c);
    check_versions_once(out, t.list282s1, t.list290s1, drops, adds);
  }

  rep.kind(TierFault::kStructure);
  const bool ok282c = check_list(rep, t.list282c, kShapePair);
  const bool ok290c = check_list(rep, t.list290c, kShapePair);
  const bool ok282s2 = check_list(rep, t.list282s2, kShapeSecondary);
  const bool ok290s2 = check_list(rep, t.list290s2, kShapeSecondary);
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
