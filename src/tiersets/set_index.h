// The indexes of a loaded tier-table set, built once when it is loaded: the
// same kind of index as the compiled-in lists' (tier_index.h, code_map.h),
// with its sizes taken from the lists instead of fixed when compiling.
// Searching one allocates nothing and writes nothing but its own locals.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

namespace cmg290::tiersets {

// Largest lists a loaded set may hold, so that a search keeps its state in a
// few words on the stack: rows are numbered in 16 bits, the secondary rows
// that pairs bar and the distinct codes of the pair list in bit sets of
// kMaxBitWords words.
inline constexpr int kMaxBitWords = 4;
inline constexpr int kMaxSingleEntries = 60000;
inline constexpr int kMaxPairEntries = 4000;
inline constexpr int kMaxSecondaryEntries = 64 * kMaxBitWords - 1;
inline constexpr int kMaxPairCodes = 64 * kMaxBitWords;

// Packed code -> lowest row holding it (0 = absent), the further rows of the
// same code chained, and a bit filter in front (see code_map.h).
class RuntimeCodeMap {
 public:
  explicit RuntimeCodeMap(int rows = 1)
      : slotMask_(std::bit_ceil(unsigned(4 * rows)) - 1),
        filterMask_(std::bit_ceil(unsigned(16 * rows)) - 1),
        filter_((filterMask_ + 64) / 64),
        key_(slotMask_ + 1),
        row_(slotMask_ + 1),
        next_(static_cast<std::size_t>(rows)) {}

  // Rows must be added in ascending order.
  void add(std::uint64_t k, int r) {
    const unsigned b = filter_bit(k);
    filter_[b / 64] |= std::uint64_t{1} << (b % 64);
    for (unsigned s = slot(k);; s = (s + 1) & slotMask_) {
      if (row_[s] == 0) {
        key_[s] = k;
        row_[s] = static_cast<std::uint16_t>(r);
        return;
      }
      if (key_[s] == k) {
        int last = row_[s];
        while (next_[last] != 0) last = next_[last];
        next_[last] = static_cast<std::uint16_t>(r);
        return;
      }
    }
  }

  int find(std::uint64_t k) const {
    const unsigned b = filter_bit(k);
    if (((filter_[b / 64] >> (b % 64)) & 1) == 0) return 0;
    for (unsigned s = slot(k);; s = (s + 1) & slotMask_) {
      if (row_[s] == 0) return 0;
      if (key_[s] == k) return row_[s];
    }
  }

  int next(int r) const { return next_[r]; }

 private:
  unsigned slot(std::uint64_t k) const {
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> 40) & slotMask_;
  }
  unsigned filter_bit(std::uint64_t k) const {
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> 20) & filterMask_;
  }

  unsigned slotMask_, filterMask_;
  std::vector<std::uint64_t> filter_;
  std::vector<std::uint64_t> key_;
  std::vector<std::uint16_t> row_;
  std::vector<std::uint16_t> next_;
};

// A single-code or secondary list: its code map, each row's excluded RICs as
// a bit mask over the RIC numbers 0 to 63, and its tier letter.
struct RuntimeListIndex {
  RuntimeCodeMap codes;
  std::vector<std::uint64_t> excluded;
  std::vector<char> tier;

  // Lowest row, not excluded for the RIC and not in `skip` (a bit per row,
  // kMaxBitWords words; null for none), whose code is among the keys; 0 when
  // none.
  int first_match(const std::uint64_t* keys, int n, int ric, const std::uint64_t* skip) const {
    const int rows = static_cast<int>(tier.size());
    int best = rows;
    for (int i = 0; i < n; ++i) {
      for (int r = codes.find(keys[i]); r != 0 && r < best; r = codes.next(r)) {
        const bool skipped = skip != nullptr && ((skip[r / 64] >> (r % 64)) & 1) != 0;
        if (((excluded[r] >> ric) & 1) == 0 && !skipped) {
          best = r;
          break;
        }
      }
    }
    return best == rows ? 0 : best;
  }
};

// A pair list with its secondary list: the ids of the distinct codes the
// pairs use, and for each pair row the ids of its two codes, its excluded
// RICs, its tier, and the secondary rows of its two codes (0 for none),
// which it bars when present but excluded.
struct RuntimePairIndex {
  RuntimeCodeMap codeIds{1};  // packed code -> 1 + its id
  std::vector<std::uint16_t> id1, id2;
  std::vector<std::uint64_t> excluded;
  std::vector<char> tier;
  std::vector<std::uint16_t> bar1, bar2;
};

struct SetIndex {
  RuntimeListIndex single[5];  // 2.40, 2.50, 2.60 (and 2.70), 2.82, 2.90
  RuntimeListIndex secondary;
  RuntimePairIndex pairs;
};

}  // namespace cmg290::tiersets
