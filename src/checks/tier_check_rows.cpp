// Order, duplicates and fixed rows of the tier lists, and the number of
// entries that carry each excluded-RIC list.
#include <map>
#include <set>

#include "checks/tier_check.h"

namespace cmg290::tables::tier_check {

void check_order(Report& rep, const TierList& l) {
  std::map<std::string_view, int> firstRow;
  for (int r = 1; r <= entries(l); ++r) {
    const std::string_view code = text(l.code, r);
    if (const auto [at, fresh] = firstRow.emplace(code, r); !fresh) {
      rep.row(l, r, "code " + quoted(code) + " already at row " + std::to_string(at->second));
      continue;
    }
    if (r == 1) continue;
    const std::string_view tier = text(l.tier, r);
    const std::string_view before = text(l.tier, r - 1);
    if (tier.size() != 1 || before.size() != 1) continue;
    if (tier < before) {
      rep.row(l, r,
              "tier " + quoted(tier) + " follows tier " + quoted(before) +
                  ": the groups must run B, C, D");
    } else if (tier == before && code < text(l.code, r - 1)) {
      rep.row(l, r,
              "code " + quoted(code) + " is out of ascending byte order after " +
                  quoted(text(l.code, r - 1)));
    }
  }
}

void expect_row(Report& rep, const TierList& l, int row, const ex::Entry& e) {
  if (row < 1 || row > entries(l)) {
    rep.list(l, "has no row " + std::to_string(row) + ", expected " +
                    entry_text(e.code, e.tier, e.rics) + " there");
    return;
  }
  const std::string_view code = text(l.code, row);
  const std::string_view tier = text(l.tier, row);
  const std::string_view rics = text(l.rics, row);
  if (code != e.code || tier != e.tier || !same_rics(rics, e.rics, is_late(l))) {
    rep.row(l, row,
            "holds " + entry_text(code, tier, rics) + ", expected " +
                entry_text(e.code, e.tier, e.rics));
  }
}

namespace {

// Where a message about a fixed row points the reader.
constexpr const char* kFixedRule =
    " (one of the rows every version holds; see \"The rows every version holds\" in "
    "docs/tier-sets.md)";

}  // namespace

void check_fixed_rows(Report& rep, const TierList& l, std::span<const ex::Entry> leading,
                      std::span<const ex::Entry> firstD, std::span<const ex::Entry> lastD) {
  // Each change is reported once, at the entry changed, never as the rows
  // it displaces: the entries are found by code, wherever they sit.
  std::map<std::string_view, int> rowOf;
  for (int r = 1; r <= entries(l); ++r) rowOf.emplace(text(l.code, r), r);
  std::map<std::string_view, const ex::Entry*> fixed;
  for (const auto group : {leading, firstD, lastD}) {
    for (const ex::Entry& e : group) fixed.emplace(e.code, &e);
  }
  for (const auto& [code, e] : fixed) {
    const auto at = rowOf.find(code);
    if (at == rowOf.end()) {
      rep.list(l, "code " + quoted(code) + " is missing, expected " +
                      entry_text(e->code, e->tier, e->rics) + kFixedRule);
      continue;
    }
    const std::string_view tier = text(l.tier, at->second);
    const std::string_view rics = text(l.rics, at->second);
    if (tier != e->tier || !same_rics(rics, e->rics, is_late(l))) {
      rep.row(l, at->second,
              "holds " + entry_text(code, tier, rics) + ", expected " +
                  entry_text(e->code, e->tier, e->rics) + kFixedRule);
    }
  }
  // Rows added where the fixed rows are: in the B or C group, before the
  // last of the first D entries, or after the first of the last ones.
  const std::string_view firstDEnd = firstD.empty() ? "" : firstD.back().code;
  const std::string_view lastDBegin = lastD.empty() ? "" : lastD.front().code;
  for (int r = 1; r <= entries(l); ++r) {
    const std::string_view code = text(l.code, r);
    if (fixed.contains(code)) continue;
    const std::string_view tier = text(l.tier, r);
    if (tier == "B" || tier == "C") {
      rep.row(l, r,
              "code " + quoted(code) + " is added to tier " + quoted(tier) + ", whose " +
                  std::to_string(leading.size()) + " entries (B and C) are fixed" + kFixedRule);
    } else if (tier == "D" && !firstDEnd.empty() && code < firstDEnd) {
      rep.row(l, r,
              "code " + quoted(code) + " comes before " + quoted(firstDEnd) +
                  ", among the first D entries, which are fixed" + kFixedRule);
    } else if (tier == "D" && !lastDBegin.empty() && code > lastDBegin) {
      rep.row(l, r,
              "code " + quoted(code) + " comes after " + quoted(lastDBegin) +
                  ", among the last D entries, which are fixed" + kFixedRule);
    }
  }
}

void check_three_char_early(Report& rep, const TierList& l) {
  std::set<std::string_view> found;
  for (int r = 1; r <= entries(l); ++r) {
    const std::string_view code = text(l.code, r);
    if (code.size() != 4) continue;
    found.insert(code);
    bool listed = false;
    for (const std::string_view known : ex::kEarlyThreeChar) listed = listed || known == code;
    if (!listed) {
      rep.row(l, r, "three-character code " + quoted(code) + " is not one of the 14 allowed");
    }
  }
  for (const std::string_view known : ex::kEarlyThreeChar) {
    if (!found.contains(known))
      rep.list(l, "three-character code " + quoted(known) + " is missing");
  }
}

void check_three_char_late(Report& rep, const TierList& l) {
  int count = 0;
  bool named = false;
  for (int r = 1; r <= entries(l); ++r) {
    const std::string_view code = text(l.code, r);
    if (code.size() == 8 && code.substr(4) == "^^^^") {
      ++count;
      named = named || code == ex::kLateThreeCharNamed;
    }
  }
  if (count != ex::kLateThreeCharCount) {
    rep.list(l, "holds " + std::to_string(count) + " three-character categories, expected " +
                    std::to_string(ex::kLateThreeCharCount));
  }
  if (!named)
    rep.list(l, "three-character category " + quoted(ex::kLateThreeCharNamed) + " is missing");
}

// ---------------------------------------------------------------------------
// Excluded-RIC list counts

namespace {

std::string entry_count(int n) {
  return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

}  // namespace

void check_ric_counts(Report& rep, const TierList& l, const std::vector<RicCount>& expectedCounts) {
  std::map<std::string, int> found;
  for (int r = 1; r <= entries(l); ++r) ++found[ric_set(text(l.rics, r), is_late(l))];
  for (const RicCount& e : expectedCounts) {
    const auto at = found.find(ric_set(e.rics, is_late(l)));
    const int got = at == found.end() ? 0 : at->second;
    if (got != e.count) {
      rep.list(l, "excluded-RIC list " + quoted_rics(e.rics) + " is carried by " +
                      entry_count(got) + ", expected " + std::to_string(e.count));
    }
    if (at != found.end()) found.erase(at);
  }
  for (const auto& [rics, got] : found) {
    rep.list(l, "excluded-RIC list " + quoted_rics(rics) + " is carried by " + entry_count(got) +
                    ", expected none");
  }
}

}  // namespace cmg290::tables::tier_check
