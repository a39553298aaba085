// Comorbidity tier search over the indexed tier lists.
#include "grouper/tier_search.h"

#include <iterator>
#include <span>
#include <utility>

#include "grouper/classify.h"
#include "grouper/packed_code.h"
#include "grouper/tier_index.h"
#include "grouper/tier_scan.h"
#include "tables/tier_catalogue.h"

namespace cmg290::detail {

namespace {

// The rows of every list, from the same data files as the exported columns;
// row 0 is the blank row that is never an entry.
#define ROW(code, tier, rics) {code, tier, rics},
#define PAIR(code1, code2, tier, rics) {code1, code2, tier, rics},
constexpr TierRow kRows240[] = {
    {"", "", " "},
#include "tables/tier/icd240.def"
};
constexpr TierRow kRows250[] = {
    {"", "", " "},
#include "tables/tier/icd250.def"
};
constexpr TierRow kRows260[] = {
    {"", "", " "},
#include "tables/tier/icd260.def"
};
constexpr TierRow kRows282s1[] = {
    {"", "", " "},
#include "tables/tier/icd281s1.def"
};
constexpr TierRow kRows290s1[] = {
    {"", "", " "},
#include "tables/tier/icd290s1.def"
};
constexpr TierRow kRowsSecondary[] = {
    {"", "", " "},
#include "tables/tier/secondary.def"
};
constexpr PairRow kRowsPairs[] = {
    {"", "", "", " "},
#include "tables/tier/pairs.def"
};
#undef ROW
#undef PAIR

// Every code fits one packed word, and none is empty, so empty cells of the
// record need no lookup.
#define CODE_FITS(code) \
  (bounded_length(code, 9) >= 1 && bounded_length(code, 9) <= kPackedCodeChars)
#define ROW(code, tier, rics) static_assert(CODE_FITS(code));
#define PAIR(code1, code2, tier, rics) static_assert(CODE_FITS(code1) && CODE_FITS(code2));
#include "tables/tier/icd240.def"
#include "tables/tier/icd250.def"
#include "tables/tier/icd260.def"
#include "tables/tier/icd281s1.def"
#include "tables/tier/icd290s1.def"
#include "tables/tier/pairs.def"
#include "tables/tier/secondary.def"
#undef ROW
#undef PAIR
#undef CODE_FITS

// The exclusion masks cover the RIC numbers 0 to 63; the impairment table
// yields 01 to 21.
#define IMP(code, ric) static_assert(ric_number(ric) >= 1 && ric_number(ric) < 64);
#include "tables/impairment.def"
#undef IMP

// The rows of every list but the pair list, by TierSetList.
constexpr std::span<const TierRow> kListRows[] = {kRows240,   kRows250, kRows260,      kRows282s1,
                                                  kRows290s1, {},       kRowsSecondary};

constexpr bool rows_as_catalogued() {
  if (std::size(kListRows) != std::size(tables::kTierLists)) return false;
  for (const tables::TierListInfo& l : tables::kTierLists) {
    const std::span<const TierRow> rows = kListRows[static_cast<int>(l.list)];
    if (l.kind == tables::ListKind::kPair) {
      if (!rows.empty() || std::ssize(kRowsPairs) != l.rows()) return false;
    } else if (std::ssize(rows) != l.rows()) {
      return false;
    }
  }
  return true;
}
static_assert(rows_as_catalogued(), "every data file holds the entries the catalogue counts");

// The index of list L (not the pair list), built by the compiler.
template <int L>
constexpr auto kListIndex = build_list_index<static_cast<int>(kListRows[L].size())>(
    kListRows[L], tables::kTierLists[L].kind == tables::ListKind::kEarlySingle
                      ? RicVariant::Plain
                      : RicVariant::BlankFree);

constexpr const auto& kIndexSecondary = kListIndex<static_cast<int>(TierSetList::Secondary)>;
constexpr auto kIndexPairs = build_pair_index(kRowsPairs, kRowsSecondary);

template <int Rows>
char single_list_tier(const ListIndex<Rows>& list, const ScannedCodes& codes, int ric) {
  const int row = list.first_match(codes.key, codes.count, ric, 0);
  return row == 0 ? 'A' : list.tier[row];
}

// 2.82 and 2.90: the single-code list, then the pair list, then the
// secondary list. The flags that bar secondary rows are held per call.
template <int Rows>
char three_stage_tier(const ListIndex<Rows>& single, const ScannedCodes& codes, int ric) {
  if (const int row = single.first_match(codes.key, codes.count, ric, 0); row != 0) {
    return single.tier[row];
  }

  // Which of the pair list's codes occur.
  std::uint64_t present[2] = {0, 0};
  for (int i = 0; i < codes.count; ++i) {
    if (const int id = kIndexPairs.codeIds.find(codes.key[i]); id != 0) {
      present[(id - 1) / 64] |= std::uint64_t{1} << ((id - 1) % 64);
    }
  }
  auto has = [&](int id) { return ((present[id / 64] >> (id % 64)) & 1) != 0; };

  // Every pair row is looked at; the last qualifying row's tier stands. A
  // present pair excluded for the RIC bars its codes from the secondary list.
  char tier = 'A';
  std::uint64_t barred = 0;
  const bool anyPairCode = (present[0] | present[1]) != 0;
  for (std::size_t r = 1; anyPairCode && r < kIndexPairs.tier.size(); ++r) {
    if (!has(kIndexPairs.id1[r]) || !has(kIndexPairs.id2[r])) continue;
    if ((kIndexPairs.excluded[r] >> ric) & 1) {
      barred |= kIndexPairs.bars[r];
    } else {
      tier = kIndexPairs.tier[r];
    }
  }
  if (tier != 'A') return tier;

  const int row = kIndexSecondary.first_match(codes.key, codes.count, ric, barred);
  return row == 0 ? 'A' : kIndexSecondary.tier[row];
}

}  // namespace

namespace {

// The search of one version, resolved when compiling: its single-code list,
// then, from 2.82 on, the pair and the secondary list.
template <TableVersion V>
char tier_of_version(int ricNumber, const ScannedCodes& codes) {
  constexpr tables::VersionLists kLists = tables::lists_of(V);
  constexpr const auto& kSingle = kListIndex<static_cast<int>(kLists.single)>;
  if constexpr (kLists.pairStage) {
    return three_stage_tier(kSingle, codes, ricNumber);
  } else {
    return single_list_tier(kSingle, codes, ricNumber);
  }
}

// The search of the version (not None), one case per row of
// table_versions.def.
template <std::size_t... I>
char tier_of_codes(TableVersion version, int ricNumber, const ScannedCodes& codes,
                   std::index_sequence<I...>) {
  char letter = 'A';
  (void)((version == static_cast<TableVersion>(I + 1) &&
          (letter = tier_of_version<static_cast<TableVersion>(I + 1)>(ricNumber, codes), true)) ||
         ...);
  return letter;
}

}  // namespace

char tier_letter_from_record(TableVersion version, const char* ric, const char* record) {
  if (version == TableVersion::None) return 'A';
  ScannedCodes codes;
  scan_record(record, version, codes);
  return tier_of_codes(version, ric_number(ric), codes,
                       std::make_index_sequence<std::size(kTableVersions)>{});
}

}  // namespace cmg290::detail
