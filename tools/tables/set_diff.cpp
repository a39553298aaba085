#include "set_diff.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "tier_lists.h"

namespace cmg290::cli::setdiff {

namespace {

constexpr TierSetList kLists[] = {
    TierSetList::Single240, TierSetList::Single250, TierSetList::Single260, TierSetList::Single282,
    TierSetList::Single290, TierSetList::Pair,      TierSetList::Secondary};

// Whether the row's placeholder disclosure was cleared from `old` to `now`:
// a placeholder there, marked official here (TierSet::disclosure_cleared).
bool disclosure_cleared(const TierSet& old, int oldRow, const TierSet& now, TierSetList list,
                        int newRow) {
  return old.is_placeholder(list, oldRow) && !now.is_placeholder(list, newRow);
}

Side side_of(const TierSet& set, TierSetList list, int row) {
  const TierSetRow r = set.row(list, row);
  Side s;
  s.row = row;
  s.line = set.line(list, row);
  s.tier = r.tier;
  s.rics = r.excludedRics == " " ? std::string_view() : r.excludedRics;
  s.placeholder = set.is_placeholder(list, row);
  return s;
}

std::string key_of(const TierSetRow& r) {
  std::string key(r.code);
  key += '\0';
  key += r.code2;
  return key;
}

void diff_list(const TierSet& old, const TierSet& now, TierSetList list, std::vector<Change>& out) {
  // The new set's rows by key; an entry named twice counts by its last row,
  // as the searches of the pair list take the last matching row.
  std::unordered_map<std::string, int> newRows;
  for (int row = 1; row <= now.entries(list); ++row) newRows[key_of(now.row(list, row))] = row;
  std::unordered_map<std::string, int> oldRows;
  for (int row = 1; row <= old.entries(list); ++row) oldRows[key_of(old.row(list, row))] = row;

  std::vector<Change> found;
  auto add = [&](Kind kind, const TierSetRow& r, int oldRow, int newRow) {
    Change c{list, kind, r.code, r.code2, {}, {}};
    if (oldRow > 0) c.old = side_of(old, list, oldRow);
    if (newRow > 0) c.now = side_of(now, list, newRow);
    found.push_back(c);
  };
  for (int row = 1; row <= old.entries(list); ++row) {
    const TierSetRow r = old.row(list, row);
    const std::string key = key_of(r);
    if (oldRows[key] != row) continue;  // an earlier row of an entry named twice
    const auto it = newRows.find(key);
    if (it == newRows.end()) {
      add(Kind::Removed, r, row, 0);
      continue;
    }
    const TierSetRow n = now.row(list, it->second);
    if (n.tier != r.tier) add(Kind::Tier, r, row, it->second);
    if (n.excludedRics != r.excludedRics) add(Kind::ExcludedRics, r, row, it->second);
    if (disclosure_cleared(old, row, now, list, it->second)) {
      add(Kind::DisclosureCleared, r, row, it->second);
    } else if (!old.is_placeholder(list, row) && now.is_placeholder(list, it->second)) {
      add(Kind::DisclosureAdded, r, row, it->second);
    }
  }
  for (int row = 1; row <= now.entries(list); ++row) {
    const TierSetRow r = now.row(list, row);
    const std::string key = key_of(r);
    if (newRows[key] == row && !oldRows.contains(key)) add(Kind::Added, r, 0, row);
  }
  std::stable_sort(found.begin(), found.end(), [](const Change& a, const Change& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    return (a.old.row > 0 ? a.old.row : a.now.row) < (b.old.row > 0 ? b.old.row : b.now.row);
  });
  out.insert(out.end(), found.begin(), found.end());
}

}  // namespace

const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::Added:
      return "added";
    case Kind::Removed:
      return "removed";
    case Kind::Tier:
      return "tier";
    case Kind::ExcludedRics:
      return "excluded_rics";
    case Kind::DisclosureCleared:
      return "disclosure_cleared";
    case Kind::DisclosureAdded:
      return "disclosure_added";
  }
  return "";
}

const char* list_versions(TierSetList list) {
  return tier::all_list_files()[static_cast<std::size_t>(list)].versions.c_str();
}

bool reordered(const TierSet& old, const TierSet& now, TierSetList list) {
  std::unordered_map<std::string, int> oldRows;
  for (int row = 1; row <= old.entries(list); ++row) oldRows[key_of(old.row(list, row))] = row;
  int last = 0;
  for (int row = 1; row <= now.entries(list); ++row) {
    const TierSetRow r = now.row(list, row);
    const auto it = oldRows.find(key_of(r));
    // An entry of another tier moves to that tier's rows: no reordering.
    if (it == oldRows.end() || old.row(list, it->second).tier != r.tier) continue;
    if (it->second < last) return true;
    last = it->second;
  }
  return false;
}

std::vector<Change> diff(const TierSet& old, const TierSet& now) {
  std::vector<Change> changes;
  for (const TierSetList list : kLists) diff_list(old, now, list, changes);
  return changes;
}

}  // namespace cmg290::cli::setdiff
