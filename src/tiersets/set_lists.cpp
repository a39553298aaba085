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

// The compiled-in list whose shape (cell widths, row 0) list i takes.
const TierList& compiled_shape(const TierTables& t, int i) {
  const TierList* shapes[kLists] = {&t.list240,   &t.list250,  &t.list260,  &t.list282s1,
                                    &t.list290s1, &t.list290c, &t.list290s2};
  return *shapes[i];
}

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

Column view_of(const Column& shape, const char* name, const std::vector<char>& cells) {
  if (!shape.present()) return {};
  return {name, cells.data(),
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

const std::array<ListInfo, kLists>& list_infos() {
  static const std::array<ListInfo, kLists> infos = {{
      {TierSetList::Single240, "single-2.40.csv", ListKind::kEarlySingle, "240"},
      {TierSetList::Single250, "single-2.50.csv", ListKind::kEarlySingle, "250"},
      {TierSetList::Single260, "single-2.60.csv", ListKind::kEarlySingle, "260"},
      {TierSetList::Single282, "single-2.82.csv", ListKind::kLateSingle, "281s1"},
      {TierSetList::Single290, "single-2.90.csv", ListKind::kLateSingle, "290s1"},
      {TierSetList::Pair, "pair.csv", ListKind::kPair, "290c"},
      {TierSetList::Secondary, "secondary.csv", ListKind::kSecondary, "290s2"},
  }};
  return infos;
}

void build_cells(SetData& data) {
  const TierTables compiled = tables::compiled_tier_tables();
  for (int i = 0; i < kLists; ++i) {
    SetList& l = data.lists[i];
    const TierList& shape = compiled_shape(compiled, i);
    l.code = cells(shape.code, l.entries, &CsvEntry::code);
    l.code2 = cells(shape.code2.present() ? shape.code2 : shape.code, l.entries, &CsvEntry::code2);
    l.tier = cells(shape.tier, l.entries, &CsvEntry::tier);
    l.rics = cells(shape.rics, l.entries, &CsvEntry::rics);
    // Every Eflag of rows 1 on holds "0".
    const Column& flagShape = shape.eflag.present() ? shape.eflag : shape.tier;
    const auto flagWidth = static_cast<std::size_t>(flagShape.width);
    l.eflag.assign((l.entries.size() + 1) * flagWidth, '\0');
    std::memcpy(l.eflag.data(), flagShape.cell(0), flagWidth);
    for (std::size_t r = 1; r <= l.entries.size(); ++r) l.eflag[r * flagWidth] = '0';
    const bool pair = shape.kind == ListKind::kPair;
    l.view = {list_infos()[i].file,
              shape.kind,
              view_of(shape.code, pair ? "code_1" : "code", l.code),
              view_of(shape.code2, "code_2", l.code2),
              view_of(shape.tier, "tier", l.tier),
              view_of(shape.rics, "excluded_rics", l.rics),
              view_of(shape.eflag, "Eflag", l.eflag)};
  }
}

TierTables check_view(const SetData& data) {
  TierTables t;
  t.list240 = data.lists[0].view;
  t.list250 = data.lists[1].view;
  t.list260 = data.lists[2].view;
  t.list282s1 = data.lists[3].view;
  t.list290s1 = data.lists[4].view;
  t.list282c = t.list290c = data.lists[5].view;
  t.list282s2 = t.list290s2 = data.lists[6].view;
  return t;
}

bool build_index(SetData& data, std::string& reason) {
  const int limits[kLists] = {kMaxSingleEntries,   kMaxSingleEntries, kMaxSingleEntries,
                              kMaxSingleEntries,   kMaxSingleEntries, kMaxPairEntries,
                              kMaxSecondaryEntries};
  for (int i = 0; i < kLists; ++i) {
    if (data.lists[i].rows() > limits[i]) {
      reason = std::string(list_infos()[i].file) + " holds " +
               std::to_string(data.lists[i].rows()) + " entries, more than the " +
               std::to_string(limits[i]) + " a search can hold";
      return false;
    }
  }
  SetIndex& x = data.index;
  for (int i = 0; i < 5; ++i) {
    x.single[i] = list_index(data.lists[i], list_infos()[i].kind != ListKind::kEarlySingle);
  }
  const SetList& secondary = data.lists[6];
  x.secondary = list_index(secondary, true);
  std::size_t words = x.secondary.words();
  for (const RuntimeListIndex& l : x.single) words += l.words();
  x.arena.reserve(words);
  for (RuntimeListIndex& l : x.single) l.settle(x.arena);
  x.secondary.settle(x.arena);

  const SetList& pairs = data.lists[5];
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
    reason = "pair.csv names " + std::to_string(ids.size()) + " distinct codes, more than the " +
             std::to_string(kMaxPairCodes) + " a search can hold";
    return false;
  }
  return true;
}

std::string canonical_digest(const SetData& data) {
  Sha256 sha;
  for (int i = 0; i < kLists; ++i) {
    const ListKind kind = list_infos()[i].kind;
    std::vector<CsvEntry> entries = data.lists[i].entries;
    for (CsvEntry& e : entries) {
      e.rics = tables::tier_check::ric_set(e.rics, kind != ListKind::kEarlySingle);
    }
    sha.update(list_infos()[i].file);
    sha.update("\n");
    sha.update(write_csv(entries, kind));
  }
  std::string cleared;
  for (int i = 0; i < kLists; ++i) {
    const SetList& l = data.lists[i];
    for (int r = 1; r < static_cast<int>(l.cleared.size()); ++r) {
      if (l.cleared[r])
        cleared += std::string(list_infos()[i].file) + "," + l.entries[r - 1].code + "\n";
    }
  }
  if (!cleared.empty()) {
    sha.update("official\n");
    sha.update(cleared);
  }
  return hex(sha.finish());
}

}  // namespace cmg290::tiersets
