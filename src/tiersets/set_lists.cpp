// The lists of a tier-table set as cells, as the table checks see them, as
// indexes, and as the canonical text that the digest is taken over.
#include <cstring>
#include <map>

#include "checks/tier_check.h"
#include "grouper/packed_code.h"
#include "grouper/ric_exclusion.h"
#include "tiersets/set_data.h"
#include "tiersets/sha256.h"

namespace cmg290::tiersets {

namespace {

using tables::Column;
using tables::TierList;
using tables::TierTables;

// Cells of the shape's width: row 0 copied from the shape, then each
// entry's field, cut to the width less its terminator.
std::vector<char> cells(const Column& shape, const std::vector<CsvEntry>& entries,
                        std::string CsvEntry::*field) {
  const auto width = static_cast<std::size_t>(shape.width);
  std::vector<char> out((entries.size() + 1) * width, '\0');
  std::memcpy(out.data(), shape.cell(0), width);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& text = entries[i].*field;
    std::memcpy(out.data() + (i + 1) * width, text.data(), std::min(text.size(), width - 1));
  }
  return out;
}

Column view_of(const Column& shape, const std::vector<char>& cells) {
  if (!shape.present()) return {};
  return {shape.name, cells.data(),
          static_cast<int>(cells.size() / static_cast<std::size_t>(shape.width)), shape.width};
}

RuntimeListIndex list_index(const SetList& l, bool blankFree) {
  const int rows = l.rows() + 1;
  RuntimeListIndex index(rows);
  for (int r = 1; r < rows; ++r) {
    const CsvEntry& e = l.entries[r - 1];
    index.codes.add(detail::pack_code(e.code.c_str()), r);
    index.excludedStore[r] = detail::ric_exclusion_mask(e.rics.c_str(), blankFree);
    index.tierStore[r] = e.tier[0];
  }
  return index;
}

}  // namespace

TierList fill_cells(ListCells& c, const TierList& shape, const std::vector<CsvEntry>& entries) {
  TierList view = shape;
  c.code = cells(shape.code, entries, &CsvEntry::code);
  c.tier = cells(shape.tier, entries, &CsvEntry::tier);
  c.rics = cells(shape.rics, entries, &CsvEntry::rics);
  view.code = view_of(shape.code, c.code);
  view.tier = view_of(shape.tier, c.tier);
  view.rics = view_of(shape.rics, c.rics);
  if (shape.code2.present()) {
    c.code2 = cells(shape.code2, entries, &CsvEntry::code2);
    view.code2 = view_of(shape.code2, c.code2);
  }
  if (shape.eflag.present()) {
    const std::vector<CsvEntry> flags(entries.size(), CsvEntry{"0", "", "", "", 0, ""});
    c.eflag = cells(shape.eflag, flags, &CsvEntry::code);
    view.eflag = view_of(shape.eflag, c.eflag);
  }
  return view;
}

std::vector<CsvEntry> entries_of(const TierList& l) {
  using tables::tier_check::text;
  std::vector<CsvEntry> out;
  for (int r = 1; r < l.code.rows; ++r) {
    CsvEntry e;
    e.code = text(l.code, r);
    if (l.code2.present()) e.code2 = text(l.code2, r);
    e.tier = text(l.tier, r);
    e.rics = text(l.rics, r);
    out.push_back(std::move(e));
  }
  return out;
}

void build_cells(SetData& data) {
  const TierTables compiled = tables::compiled_tier_tables();
  for (int i = 0; i < kLists; ++i) {
    SetList& l = data.lists[i];
    const tables::TierListInfo& info = list_info(i);
    l.view = fill_cells(l.cells, tables::compiled_list(compiled, info.list, info.last), l.entries);
    // The set's view is named by its file and the CSV header's columns.
    const bool pair = info.kind == ListKind::kPair;
    l.view.name = info.setFile;
    l.view.code.name = pair ? "code_1" : "code";
    if (l.view.code2.present()) l.view.code2.name = "code_2";
    l.view.tier.name = "tier";
    l.view.rics.name = "excluded_rics";
    if (l.view.eflag.present()) l.view.eflag.name = "Eflag";
  }
}

TierTables check_view(const SetData& data) {
  TierTables t;
  for (int i = 0; i < kLists; ++i) {
    for (const auto member : tables::compiled_sets(list_info(i).list))
      t.*member = data.lists[i].view;
  }
  return t;
}

bool build_index(SetData& data, std::string& reason) {
  for (int i = 0; i < kLists; ++i) {
    const ListKind kind = list_info(i).kind;
    const int limit = kind == ListKind::kPair        ? kMaxPairEntries
                      : kind == ListKind::kSecondary ? kMaxSecondaryEntries
                                                     : kMaxSingleEntries;
    if (data.lists[i].rows() > limit) {
      reason = std::string(list_info(i).setFile) + " holds " +
               std::to_string(data.lists[i].rows()) + " entries, more than the " +
               std::to_string(limit) + " a search can hold";
      return false;
    }
  }
  SetIndex& x = data.index;
  std::size_t words = 0;
  for (int i = 0; i < kLists; ++i) {
    if (list_info(i).kind == ListKind::kPair) continue;
    x.lists[i] = list_index(data.lists[i], list_info(i).kind != ListKind::kEarlySingle);
    words += x.lists[i].words();
  }
  x.arena.reserve(words);
  for (int i = 0; i < kLists; ++i) {
    if (list_info(i).kind != ListKind::kPair) x.lists[i].settle(x.arena);
  }

  const tables::TierListInfo& pairInfo = tables::tier_list(TierSetList::Pair);
  const SetList& pairs = data.lists[static_cast<int>(TierSetList::Pair)];
  const SetList& secondary = data.lists[static_cast<int>(TierSetList::Secondary)];
  const std::size_t rows = pairs.entries.size() + 1;
  RuntimePairIndex& p = x.pairs;
  p.codeIds = RuntimeCodeMap(kMaxPairCodes + 1);
  p.id1.assign(rows, 0);
  p.id2.assign(rows, 0);
  p.excluded.assign(rows, 0);
  p.tier.assign(rows, 'A');
  p.bar1.assign(rows, 0);
  p.bar2.assign(rows, 0);
  std::map<std::uint64_t, int> ids;
  std::map<std::uint64_t, int> secondaryRows;
  for (int k = secondary.rows(); k >= 1; --k) {
    secondaryRows[detail::pack_code(secondary.entries[k - 1].code.c_str())] = k;
  }
  auto id_of = [&](const std::string& code) {
    const std::uint64_t key = detail::pack_code(code.c_str());
    const auto [at, fresh] = ids.emplace(key, static_cast<int>(ids.size()));
    if (fresh && at->second < kMaxPairCodes) p.codeIds.add(key, at->second + 1);
    return at->second;
  };
  auto secondary_row = [&](const std::string& code) {
    const auto at = secondaryRows.find(detail::pack_code(code.c_str()));
    return static_cast<std::uint16_t>(at == secondaryRows.end() ? 0 : at->second);
  };
  for (std::size_t r = 1; r < rows; ++r) {
    const CsvEntry& e = pairs.entries[r - 1];
    p.id1[r] = static_cast<std::uint16_t>(id_of(e.code));
    p.id2[r] = static_cast<std::uint16_t>(id_of(e.code2));
    p.excluded[r] = detail::ric_exclusion_mask(e.rics.c_str(), true);
    p.tier[r] = e.tier[0];
    p.bar1[r] = secondary_row(e.code);
    p.bar2[r] = secondary_row(e.code2);
  }
  if (ids.size() > static_cast<std::size_t>(kMaxPairCodes)) {
    reason = std::string(pairInfo.setFile) + " names " + std::to_string(ids.size()) +
             " distinct codes, more than the " + std::to_string(kMaxPairCodes) +
             " a search can hold";
    return false;
  }
  return true;
}

std::string canonical_digest(const SetData& data) {
  Sha256 sha;
  for (int i = 0; i < kLists; ++i) {
    const ListKind kind = list_info(i).kind;
    std::vector<CsvEntry> entries = data.lists[i].entries;
    for (CsvEntry& e : entries) {
      e.rics = tables::tier_check::ric_set(e.rics, kind != ListKind::kEarlySingle);
    }
    sha.update(list_info(i).setFile);
    sha.update("\n");
    sha.update(write_csv(entries, kind));
  }
  std::string cleared;
  for (int i = 0; i < kLists; ++i) {
    const SetList& l = data.lists[i];
    for (int r = 1; r < static_cast<int>(l.cleared.size()); ++r) {
      if (l.cleared[r])
        cleared += std::string(list_info(i).setFile) + "," + l.entries[r - 1].code + "\n";
    }
  }
  if (!cleared.empty()) {
    sha.update("official\n");
    sha.update(cleared);
  }
  return hex(sha.finish());
}

}  // namespace cmg290::tiersets
