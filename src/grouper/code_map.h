// A compile-time hash map from a packed code to the lowest of the rows
// that hold it, with the further rows of the same code chained: one lookup
// instead of a scan of the rows. A bit array in front of it turns most codes
// that no row holds away without touching the slots.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace cmg290::detail {

// Packed code -> lowest row holding it (0 = absent), for rows 1 .. Rows-1.
template <int Rows>
struct CodeMap {
  static constexpr int kSlots = static_cast<int>(std::bit_ceil(unsigned{4 * Rows}));
  // A bit per hash of every code held: a code whose bit is clear is not
  // held. Most codes looked up are in no list, and this array (2 bytes a
  // row, against the slots' 40) stays in the cache where the slots do not.
  static constexpr int kFilterBits = static_cast<int>(std::bit_ceil(unsigned{16 * Rows}));
  std::array<std::uint64_t, (kFilterBits + 63) / 64> filter{};
  std::array<std::uint64_t, kSlots> key{};
  std::array<std::uint16_t, kSlots> row{};
  std::array<std::uint16_t, Rows> next{};  // next row with the same code, 0 = none

  static constexpr unsigned slot_of(std::uint64_t k) {
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> 40) & (kSlots - 1);
  }
  static constexpr unsigned filter_bit_of(std::uint64_t k) {
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> 20) & (kFilterBits - 1);
  }
  constexpr bool may_hold(std::uint64_t k) const {
    const unsigned b = filter_bit_of(k);
    return ((filter[b / 64] >> (b % 64)) & 1) != 0;
  }

  // Rows must be added in ascending order.
  constexpr void add(std::uint64_t k, int r) {
    const unsigned b = filter_bit_of(k);
    filter[b / 64] |= std::uint64_t{1} << (b % 64);
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
    if (!may_hold(k)) return 0;
    for (unsigned s = slot_of(k);; s = (s + 1) & (kSlots - 1)) {
      if (row[s] == 0) return 0;
      if (key[s] == k) return row[s];
    }
  }
};

}  // namespace cmg290::detail
