// Compile-time indexes of the comorbidity tier lists.
//
// A list is searched by finding the lowest-numbered row that is not
// excluded for the record's RIC and whose code occurs among the record's
// comorbid codes. Instead of comparing every row with every code, each list
// is indexed by code: an open-addressing hash table from the packed code to
// its lowest row, and for each row the next row with the same code. The
// excluded-RIC lists are turned into bit masks over the RIC numbers 0 to
// 63. The indexes are built by the compiler from the same data files as the
// exported table columns.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <span>

#include "grouper/code_map.h"
#include "grouper/packed_code.h"
#include "grouper/ric_exclusion.h"

namespace cmg290::detail {

// One row of a single-code or secondary list as written in its data file.
struct TierRow {
  const char* code;
  const char* tier;
  const char* rics;
};

// One row of a pair list.
struct PairRow {
  const char* code1;
  const char* code2;
  const char* tier;
  const char* rics;
};

enum class RicVariant { Plain, BlankFree };

// Bit n set: the list excludes the RIC whose two-digit text is n.
constexpr std::uint64_t exclusion_mask(const char* rics, RicVariant variant) {
  return ric_exclusion_mask(rics, variant == RicVariant::BlankFree);
}

// A single-code or secondary list: the code map, each row's excluded RICs and
// its tier letter.
template <int Rows>
struct ListIndex {
  CodeMap<Rows> codes;
  std::array<std::uint64_t, Rows> excluded{};
  std::array<char, Rows> tier{};

  // Lowest row, not excluded for the RIC and not in `skip` (bit per row,
  // rows below 64 only), whose code is among the keys; 0 when none.
  constexpr int first_match(const std::uint64_t* keys, int n, int ric, std::uint64_t skip) const {
    int best = Rows;
    for (int i = 0; i < n; ++i) {
      for (int r = codes.find(keys[i]); r != 0 && r < best; r = codes.next[r]) {
        const bool skipped = r < 64 && ((skip >> r) & 1) != 0;
        if (((excluded[r] >> ric) & 1) == 0 && !skipped) {
          best = r;
          break;
        }
      }
    }
    return best == Rows ? 0 : best;
  }
};

// `rows` holds Rows rows, row 0 the blank one.
template <int Rows>
constexpr ListIndex<Rows> build_list_index(std::span<const TierRow> rows, RicVariant variant) {
  ListIndex<Rows> index;
  for (int r = 1; r < Rows; ++r) {
    index.codes.add(pack_code(rows[r].code), r);
    index.excluded[r] = exclusion_mask(rows[r].rics, variant);
    index.tier[r] = rows[r].tier[0];
  }
  return index;
}

// A pair list with its secondary list: which distinct codes the pairs use,
// and for each pair row the ids of its two codes, its excluded RICs, its
// tier, and the secondary rows its codes bar when it is present but
// excluded.
template <int PairRows, int SecondaryRows>
struct PairIndex {
  static constexpr int kMaxCodes = 2 * PairRows;
  CodeMap<kMaxCodes> codeIds;  // packed code -> 1 + its id
  std::array<std::uint8_t, PairRows> id1{}, id2{};
  std::array<std::uint64_t, PairRows> excluded{};
  std::array<char, PairRows> tier{};
  std::array<std::uint64_t, PairRows> bars{};  // secondary rows to flag
};

template <int PairRows, int SecondaryRows>
constexpr PairIndex<PairRows, SecondaryRows> build_pair_index(
    const PairRow (&pairs)[PairRows], const TierRow (&secondary)[SecondaryRows]) {
  static_assert(SecondaryRows <= 64, "secondary flags are held in one 64-bit word");
  PairIndex<PairRows, SecondaryRows> index;
  std::array<std::uint64_t, 2 * PairRows> distinct{};
  int count = 0;
  auto id_of = [&](const char* code) {
    const std::uint64_t k = pack_code(code);
    for (int i = 0; i < count; ++i) {
      if (distinct[i] == k) return i;
    }
    distinct[count] = k;
    index.codeIds.add(k, count + 1);
    return count++;
  };
  // The first secondary row whose code equals the given one, or 0.
  auto secondary_row = [&](const char* code) {
    for (int k = 1; k < SecondaryRows; ++k) {
      if (pack_code(secondary[k].code) == pack_code(code)) return k;
    }
    return 0;
  };
  for (int r = 1; r < PairRows; ++r) {
    index.id1[r] = static_cast<std::uint8_t>(id_of(pairs[r].code1));
    index.id2[r] = static_cast<std::uint8_t>(id_of(pairs[r].code2));
    index.excluded[r] = exclusion_mask(pairs[r].rics, RicVariant::BlankFree);
    index.tier[r] = pairs[r].tier[0];
    // Row 0 is never a secondary entry, so a code without one sets bit 0 only.
    index.bars[r] = (std::uint64_t{1} << secondary_row(pairs[r].code1)) |
                    (std::uint64_t{1} << secondary_row(pairs[r].code2));
  }
  return index;
}

}  // namespace cmg290::detail
