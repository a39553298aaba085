// Differences between the versions of a single-code tier list.
#include <set>

#include "checks/tier_check.h"

namespace cmg290::tables::tier_check {

namespace {

std::map<std::string_view, int> rows_by_code(const TierList& l) {
  std::map<std::string_view, int> rows;
  for (int r = 1; r <= entries(l); ++r) rows.emplace(text(l.code, r), r);
  return rows;
}

// The rows run B, C, D, each group in ascending byte order of the code.
bool in_order(const TierList& l) {
  for (int r = 2; r <= entries(l); ++r) {
    const std::string_view tier = text(l.tier, r), before = text(l.tier, r - 1);
    if (tier < before || (tier == before && text(l.code, r) < text(l.code, r - 1))) return false;
  }
  return true;
}

bool is_i60_entry(std::string_view code) {
  for (const std::string_view c : ex::kI60Codes) {
    if (c == code) return true;
  }
  return false;
}

}  // namespace

std::vector<Change> changes(std::span<const ex::Entry> entries) {
  std::vector<Change> out;
  for (const ex::Entry& e : entries)
    out.push_back({std::string(e.code), std::string(e.tier), std::string(e.rics)});
  return out;
}

void check_versions(Report& rep, const TierList& from, const TierList& to,
                    const std::vector<Change>& drops, const std::vector<Change>& adds) {
  const std::map<std::string_view, int> fromRows = rows_by_code(from);
  const std::map<std::string_view, int> toRows = rows_by_code(to);
  std::set<std::string_view> dropped, added;
  for (const Change& d : drops) {
    dropped.insert(d.code);
    if (const auto at = fromRows.find(d.code); at == fromRows.end()) {
      rep.list(from, "code " + quoted(d.code) + " is missing (dropped after this list)");
    } else {
      expect_row(rep, from, at->second, {d.code, d.tier, d.rics});
    }
    if (const auto at = toRows.find(d.code); at != toRows.end()) {
      rep.row(
          to, at->second,
          "code " + quoted(d.code) + " must not be listed (dropped after list " + from.name + ")");
    }
  }
  for (const Change& a : adds) {
    added.insert(a.code);
    if (const auto at = toRows.find(a.code); at == toRows.end()) {
      rep.list(to, "code " + quoted(a.code) + " is missing (added after list " + from.name + ")");
    } else {
      expect_row(rep, to, at->second, {a.code, a.tier, a.rics});
    }
    if (const auto at = fromRows.find(a.code); at != fromRows.end()) {
      rep.row(
          from, at->second,
          "code " + quoted(a.code) + " must not be listed (added only in list " + to.name + ")");
    }
  }

  const bool late = is_late(from);
  // The relative order is compared only between lists in order: a broken
  // order is reported in its own list, not as the other's rows.
  const bool ordered = in_order(from) && in_order(to);
  int lastToRow = 0;
  for (int r = 1; r <= entries(from); ++r) {
    const std::string_view code = text(from.code, r);
    if (dropped.contains(code)) continue;
    const auto at = toRows.find(code);
    if (at == toRows.end()) {
      rep.row(
          from, r,
          "code " + quoted(code) + " is missing from list " + to.name + ", which does not drop it");
      continue;
    }
    const int t = at->second;
    if (text(to.tier, t) != text(from.tier, r)) {
      rep.row(to, t,
              "code " + quoted(code) + " has tier " + quoted(text(to.tier, t)) + " here but " +
                  quoted(text(from.tier, r)) + " in list " + from.name);
      // Its row moved with its group: the order of the others is what counts.
      continue;
    }
    if (late && is_i60_entry(code)) {
      if (!same_rics(text(from.rics, r), ex::kI60Rics, late)) {
        rep.row(from, r, "code " + quoted(code) + " must carry " + quoted(ex::kI60Rics));
      }
      if (!same_rics(text(to.rics, t), ex::kI60Rics, late)) {
        rep.row(to, t, "code " + quoted(code) + " must carry " + quoted(ex::kI60Rics));
      }
    } else if (!same_rics(text(to.rics, t), text(from.rics, r), late)) {
      rep.row(to, t,
              "code " + quoted(code) + " excludes " + quoted_rics(text(to.rics, t)) + " here but " +
                  quoted_rics(text(from.rics, r)) + " in list " + from.name);
    }
    if (ordered && t < lastToRow) {
      rep.row(to, t, "code " + quoted(code) + " is out of the order of list " + from.name);
    }
    lastToRow = t;
  }
  for (int r = 1; r <= entries(to); ++r) {
    const std::string_view code = text(to.code, r);
    if (!added.contains(code) && !fromRows.contains(code)) {
      rep.row(to, r,
              "code " + quoted(code) + " is neither in list " + from.name +
                  " nor among the codes added after it");
    }
  }
}

std::vector<Change> diabetes_codes(bool split) {
  std::vector<Change> out;
  for (const std::string_view family : ex::kDiabetesFamilies) {
    for (const std::string_view suffix : ex::kDiabetesSuffixes) {
      const std::string stem = std::string(family) + std::string(suffix);
      if (!split) {
        out.push_back({stem + "^", "D", " "});
        continue;
      }
      for (const std::string_view last : ex::kDiabetesFinal) {
        out.push_back({stem + std::string(last), "D", " "});
      }
    }
  }
  return out;
}

}  // namespace cmg290::tables::tier_check
