// A compile-time hash map from a packed code to the lowest of the rows
// that hold it, with the further rows of the same code chained: one lookup
// instead of a scan of the rows.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace cmg290::detail {

// Packed code -> lowest row holding it (0 = absent), for rows 1 .. Rows-1.
template <int Rows>
struct CodeMap {
  static constexpr int kSlots = static_cast<int>(std::bit_ceil(unsigned{4 * Rows}));
  std::array<std::uint64_t, kSlots> key{};
  std::array<std::uint16_t, kSlots> row{};
  std::array<std::uint16_t, Rows> next{};  // next row with the same code, 0 = none

  static constexpr unsigned slot_of(std::uint64_t k) {
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> 40) & (kSlots - 1);
  }

  // Rows must be added in ascending order.
  constexpr void add(std::uint64_t k, int r) {
    for (unsigned s = slot_of(k);; s = (s + 1) & (kSlots - 1)) {
      if (row[s] == 0) {
        key[s] = k;
        row[s] = static_cast<std::uint16_t>(r);
        return;
      }
      if (key[s] == k) {
        int last = row[s];
        while (next[last] != 0) last = next[last];
        next[last] = static_cast<std::uint16_t>(r);
        return;
      }
    }
  }

  constexpr int find(std::uint64_t k) const {
    for (unsigned s = slot_of(k);; s = (s + 1) & (kSlots - 1)) {
      if (row[s] == 0) return 0;
      if (key[s] == k) return row[s];
    }
  }
};

}  // namespace cmg290::detail
