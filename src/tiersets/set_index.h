// The indexes of a loaded tier-table set, built once when it is loaded: the
// same kind of index as the compiled-in lists' (tier_index.h, code_map.h),
// with its sizes taken from the lists instead of fixed when compiling.
// Searching one allocates nothing and writes nothing but its own locals.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "tables/tier_catalogue.h"

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

// One block of memory that holds every table of a set's indexes, one after
// the other: a search touches few pages, as over the compiled-in indexes,
// which lie together in the library's read-only data.
class IndexArena {
 public:
  // Room for `words` 64-bit words in all; take() never moves what it gave.
  void reserve(std::size_t words) { words_.reserve(words); }

  // A copy of the table, aligned to a word.
  template <typename T>
  const T* take(const std::vector<T>& table) {
    const std::size_t at = words_.size();
    const std::size_t n = words_for(table.size() * sizeof(T));
    // Growing would move what was given out.
    if (at + n > words_.capacity()) throw std::logic_error("index arena too small");
    words_.resize(at + n);
    std::memcpy(words_.data() + at, table.data(), table.size() * sizeof(T));
    return reinterpret_cast<const T*>(words_.data() + at);
  }

  static std::size_t words_for(std::size_t bytes) { return (bytes + 7) / 8; }

 private:
  std::vector<std::uint64_t> words_;
};

// Packed code -> lowest row holding it (0 = absent), the further rows of the
// same code chained, and a bit filter in front (see code_map.h). Built in
// vectors, then moved into the set's arena.
class RuntimeCodeMap {
 public:
  explicit RuntimeCodeMap(int rows = 1)
      : slotMask_(std::bit_ceil(unsigned(4 * rows)) - 1),
        filterMask_(std::bit_ceil(unsigned(16 * rows)) - 1),
        filterStore_((filterMask_ + 64) / 64),
        keyStore_(slotMask_ + 1),
        rowStore_(slotMask_ + 1),
        nextStore_(static_cast<std::size_t>(rows)) {
    point_at_stores();
  }
  RuntimeCodeMap(const RuntimeCodeMap&) = delete;
  RuntimeCodeMap& operator=(const RuntimeCodeMap&) = delete;
  RuntimeCodeMap(RuntimeCodeMap&&) = default;  // vectors keep their buffers
  RuntimeCodeMap& operator=(RuntimeCodeMap&&) = default;

  // Rows must be added in ascending order.
  void add(std::uint64_t k, int r) {
    const unsigned b = filter_bit(k);
    filterStore_[b / 64] |= std::uint64_t{1} << (b % 64);
    for (unsigned s = slot(k);; s = (s + 1) & slotMask_) {
      if (rowStore_[s] == 0) {
        keyStore_[s] = k;
        rowStore_[s] = static_cast<std::uint16_t>(r);
        return;
      }
      if (keyStore_[s] == k) {
        int last = rowStore_[s];
        while (nextStore_[last] != 0) last = nextStore_[last];
        nextStore_[last] = static_cast<std::uint16_t>(r);
        return;
      }
    }
  }

  // Words the tables take in an arena.
  std::size_t words() const {
    return filterStore_.size() + keyStore_.size() +
           IndexArena::words_for(2 * (rowStore_.size() + nextStore_.size())) + 2;
  }
  // Moves the tables into the arena; add() may not be called afterwards.
  void settle(IndexArena& arena) {
    filter_ = arena.take(filterStore_);
    key_ = arena.take(keyStore_);
    row_ = arena.take(rowStore_);
    next_ = arena.take(nextStore_);
    filterStore_ = {};
    keyStore_ = {};
    rowStore_ = {};
    nextStore_ = {};
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
  void point_at_stores() {
    filter_ = filterStore_.data();
    key_ = keyStore_.data();
    row_ = rowStore_.data();
    next_ = nextStore_.data();
  }
  unsigned slot(std::uint64_t k) const {
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> 40) & slotMask_;
  }
  unsigned filter_bit(std::uint64_t k) const {
    return static_cast<unsigned>((k * 0x9E3779B97F4A7C15ULL) >> 20) & filterMask_;
  }

  unsigned slotMask_, filterMask_;
  const std::uint64_t* filter_;
  const std::uint64_t* key_;
  const std::uint16_t* row_;
  const std::uint16_t* next_;
  std::vector<std::uint64_t> filterStore_;
  std::vector<std::uint64_t> keyStore_;
  std::vector<std::uint16_t> rowStore_;
  std::vector<std::uint16_t> nextStore_;
};

// A single-code or secondary list: its code map, each row's excluded RICs as
// a bit mask over the RIC numbers 0 to 63, and its tier letter. What a
// search reads comes first, within one cache line.
struct alignas(64) RuntimeListIndex {
  const std::uint64_t* excluded = nullptr;
  const char* tier = nullptr;
  int rows = 0;  // entries + 1
  RuntimeCodeMap codes;
  std::vector<std::uint64_t> excludedStore;
  std::vector<char> tierStore;

  RuntimeListIndex() = default;
  explicit RuntimeListIndex(int rowCount)
      : codes(rowCount),
        excludedStore(static_cast<std::size_t>(rowCount)),
        tierStore(static_cast<std::size_t>(rowCount)) {}

  std::size_t words() const {
    return codes.words() + excludedStore.size() + IndexArena::words_for(tierStore.size()) + 1;
  }
  void settle(IndexArena& arena) {
    codes.settle(arena);
    excluded = arena.take(excludedStore);
    tier = arena.take(tierStore);
    rows = static_cast<int>(tierStore.size());
    excludedStore = {};
    tierStore = {};
  }

  // Lowest row, not excluded for the RIC and not in `skip` (a bit per row,
  // kMaxBitWords words) when Skip, whose code is among the keys; 0 when
  // none.
  template <bool Skip>
  int first_match(const std::uint64_t* keys, int n, int ric, const std::uint64_t* skip) const {
    int best = rows;
    for (int i = 0; i < n; ++i) {
      for (int r = codes.find(keys[i]); r != 0 && r < best; r = codes.next(r)) {
        const bool skipped = Skip && ((skip[r / 64] >> (r % 64)) & 1) != 0;
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
// which it bars when present but excluded. Small: left in its vectors.
struct RuntimePairIndex {
  RuntimeCodeMap codeIds{1};  // packed code -> 1 + its id
  std::vector<std::uint16_t> id1, id2;
  std::vector<std::uint64_t> excluded;
  std::vector<char> tier;
  std::vector<std::uint16_t> bar1, bar2;
};

// The indexes of a set: every list but the pair list by its TierSetList,
// the pair list with the secondary list's rows it bars.
struct SetIndex {
  RuntimeListIndex lists[tables::kTierListCount];  // the pair list's is empty
  RuntimePairIndex pairs;
  IndexArena arena;  // the tables of the lists above

  const RuntimeListIndex& list(TierSetList l) const { return lists[static_cast<int>(l)]; }
  // The single-code list that serves the version (not None).
  const RuntimeListIndex& single(detail::TableVersion v) const {
    return list(tables::lists_of(v).single);
  }
  const RuntimeListIndex& secondary() const { return list(TierSetList::Secondary); }
};

}  // namespace cmg290::tiersets
