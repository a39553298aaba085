// The compiled-in set, and which rows of a set are placeholders.
//
// The compiled-in single-code lists hold the rows that every version fixes
// (the B and C groups, the first and last D entries, the three-character
// codes, the entries by which versions differ) and, for the rest of their D
// entries, rows generated as placeholders. The fixed rows are exactly those
// the table checks know (tier_expected.h), so a D row of a single-code list
// whose code is none of them is a placeholder. The pair and secondary lists
// are fixed whole.
//
// In a loaded set, disclosure follows the content: a row of a single-code
// list is a placeholder when its code is the code of a placeholder row of
// the same compiled-in list, whatever its tier or excluded RICs, unless the
// row itself is marked "official" in its file (the placeholder column).
#include <array>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "checks/tier_check.h"
#include "cmg290/tier_tables.h"
#include "tiersets/set_data.h"

namespace cmg290::tiersets {

namespace {

namespace ex = tables::expected;

std::set<std::string, std::less<>> fixed_codes(ListKind kind) {
  std::set<std::string, std::less<>> codes;
  auto add = [&](auto const& entries) {
    for (const auto& e : entries) codes.insert(std::string(e.code));
  };
  if (kind == ListKind::kEarlySingle) {
    add(ex::kEarlyFirstD);
    add(ex::kEarlyLastD240);
    add(ex::kEarlyLastD260);
    add(ex::kDrop250);
    add(ex::kAdd250);
    add(ex::kDrop260);
    add(ex::kAdd260);
    for (const std::string_view c : ex::kEarlyThreeChar) codes.insert(std::string(c));
  } else {
    add(ex::kLateFirstD);
    add(ex::kLateLastD);
    add(ex::kDrop290);
    add(ex::kAdd290);
    add(tables::tier_check::diabetes_codes(false));
    add(tables::tier_check::diabetes_codes(true));
    for (const std::string_view c : ex::kI60Codes) codes.insert(std::string(c));
  }
  return codes;
}

}  // namespace

std::unique_ptr<SetData> make_compiled_data() {
  auto made = std::make_unique<SetData>();
  SetData& data = *made;
  data.name = "compiled-in";
  data.compiled = true;
  const tables::TierTables t = tables::compiled_tier_tables();
  for (int i = 0; i < kLists; ++i) {
    const tables::TierListInfo& info = list_info(i);
    data.lists[i].entries = entries_of(tables::compiled_list(t, info.list, info.last));
  }
  build_cells(data);
  std::string reason;
  build_index(data, reason);  // the compiled-in lists fit: checked by the tests
  for (int i = 0; i < kLists; ++i) {
    SetList& l = data.lists[i];
    l.placeholder.assign(l.entries.size() + 1, 0);
    l.cleared.assign(l.entries.size() + 1, 0);
    for (int r = 1; r <= l.rows(); ++r) {
      CsvEntry& e = l.entries[r - 1];
      e.line = r + 1;  // the line of the row in the exported file, below its header
      l.placeholder[r] = generated_row(list_info(i).kind, e);
      if (l.placeholder[r]) e.mark = kPlaceholderMark;
      data.placeholders = data.placeholders || l.placeholder[r];
    }
  }
  data.digest = canonical_digest(data);
  return made;
}

bool generated_row(ListKind kind, const CsvEntry& e) {
  if (kind != ListKind::kEarlySingle && kind != ListKind::kLateSingle) return false;
  if (e.tier != "D") return false;
  static const auto early = fixed_codes(ListKind::kEarlySingle);
  static const auto late = fixed_codes(ListKind::kLateSingle);
  if (kind == ListKind::kEarlySingle) return !early.contains(e.code);
  // Every three-character category ("A35.^^^^") is fixed.
  const bool threeChar = e.code.size() == 8 && e.code.substr(4) == "^^^^";
  return !threeChar && !late.contains(e.code);
}

RowMark row_mark(int list, const CsvEntry& e) {
  static const auto codes = [] {
    std::array<std::set<std::string, std::less<>>, kLists> out;
    const SetData& compiled = TierSet::compiled()->data();
    for (int i = 0; i < kLists; ++i) {
      const SetList& c = compiled.lists[i];
      for (int r = 1; r <= c.rows(); ++r) {
        if (c.placeholder[r]) out[i].insert(c.entries[r - 1].code);
      }
    }
    return out;
  }();
  if (list < 0 || list >= kLists) return RowMark::kNone;
  const bool official = e.mark == kOfficialMark;
  if (!codes[list].contains(e.code)) return official ? RowMark::kStray : RowMark::kNone;
  return official ? RowMark::kCleared : RowMark::kPlaceholder;
}

void set_mark(CsvEntry& e, RowMark mark) {
  e.mark = mark == RowMark::kPlaceholder ? kPlaceholderMark
           : mark == RowMark::kCleared   ? kOfficialMark
                                         : "";
}

std::vector<std::pair<int, int>> mark_placeholders(SetData& data) {
  std::vector<std::pair<int, int>> stray;
  data.placeholders = false;
  for (int i = 0; i < kLists; ++i) {
    SetList& l = data.lists[i];
    l.placeholder.assign(l.entries.size() + 1, 0);
    l.cleared.assign(l.entries.size() + 1, 0);
    for (int r = 1; r <= l.rows(); ++r) {
      CsvEntry& e = l.entries[r - 1];
      const RowMark mark = row_mark(i, e);
      l.placeholder[r] = mark == RowMark::kPlaceholder;
      l.cleared[r] = mark == RowMark::kCleared;
      if (mark == RowMark::kStray) stray.emplace_back(i, r);
      set_mark(e, mark);
      data.placeholders = data.placeholders || l.placeholder[r];
    }
  }
  return stray;
}

}  // namespace cmg290::tiersets
