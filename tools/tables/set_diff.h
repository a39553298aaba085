// What `cmg290 tables diff` reports: the entries that differ between two
// tier-table sets, list by list, and the ways of writing them (text for a
// reader, CSV and JSON for a review tool).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cmg290/tier_set.h"

namespace cmg290::cli::setdiff {

// What happened to an entry, in the order a list's changes are reported.
// An entry is keyed by its code (pair.csv: by its two codes); one entry may
// give several changes (its tier and its excluded RICs).
enum class Kind {
  Added,              // only the new set holds it
  Removed,            // only the old set holds it
  Tier,               // another tier letter
  ExcludedRics,       // another excluded-RIC list
  DisclosureCleared,  // a placeholder in the old set, official in the new
  DisclosureAdded,    // official in the old set, a placeholder in the new
};

// The name a review tool filters on: "added", "tier", "disclosure_cleared" ...
const char* kind_name(Kind kind);

// One side of a change; row 0 when that set does not hold the entry.
struct Side {
  int row = 0;
  int line = 0;  // the row's line in the list's file
  char tier = ' ';
  std::string_view rics;  // "" when no RIC is excluded
  bool placeholder = false;
};

struct Change {
  TierSetList list;
  Kind kind;
  std::string_view code, code2;  // code2 only in pair.csv
  Side old, now;
};

// Every change from `old` to `now`: lists in their fixed order, within a
// list by kind, then by row (the old row, or the new one for an addition).
// The views live as long as the sets.
std::vector<Change> diff(const TierSet& old, const TierSet& now);

// Whether the entries both sets hold in `list` with the same tier come in
// another order in the new set. Within a tier the single lists keep the order of their codes,
// but the pair list keeps its own, and its last matching row counts.
bool reordered(const TierSet& old, const TierSet& now, TierSetList list);

// The table versions a list serves: "2.40", "2.60 and 2.70", ...
const char* list_versions(TierSetList list);

// Writes the report in a format.
std::string text_report(const TierSet& old, const TierSet& now, const std::vector<Change>& changes);
std::string csv_report(const std::vector<Change>& changes);
std::string json_report(const TierSet& old, const TierSet& now, const std::vector<Change>& changes);

}  // namespace cmg290::cli::setdiff
