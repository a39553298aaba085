// Reading a record's comorbid slots for the tier searches: the codes a
// search looks at, packed, read in place without copying a slot. Shared by
// the search over the compiled-in lists and the one over a loaded set.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "grouper/packed_code.h"
#include "grouper/record_intake.h"
#include "grouper/word_bytes.h"
#include "tables/table_versions.h"

namespace cmg290::detail {

// The codes a search looks at, packed. The short scan takes cells 1 to 10;
// the full scan takes cells 1 to 25 and ends before the first cell that
// begins with "^". Empty cells are left out: they equal no table code.
struct ScannedCodes {
  std::uint64_t key[kComorbidSlots];
  int count = 0;
};

// A comorbid slot, its eight characters read in place, as the trimmed cell
// that trim_code would make of it: its packed code, and its first character.
struct SlotCode {
  std::uint64_t key;
  char first;
};

inline SlotCode read_slot(const char* slot) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t word;
    std::memcpy(&word, slot, sizeof word);
    // First blank and first zero byte (the lowest flag of each is exact).
    const std::uint64_t x = word ^ kBlankWord;
    const std::uint64_t blanks = first_blank_flags(word);
    const std::uint64_t zeros = first_zero_flags(word);
    const int firstBlank = blanks == 0 ? 8 : std::countr_zero(blanks) / 8;
    const int firstZero = zeros == 0 ? 8 : std::countr_zero(zeros) / 8;
    const std::uint64_t afterBlank = firstBlank == 8 ? 0 : x >> (8 * firstBlank);
    if (afterBlank == 0) {
      // No blank but at the end, the usual case: the code is the text up to
      // the first blank, and packing it ends at a zero byte.
      const int length = std::min(firstBlank, firstZero);
      const std::uint64_t key = length == 0 ? 0 : word & (~std::uint64_t{0} >> (64 - 8 * length));
      return {key, firstBlank == 0 ? '\0' : slot[0]};
    }
  }
  char cell[9];
  std::memcpy(cell, slot, 8);
  cell[8] = '\0';
  trim_code(cell);
  return {pack_cell(cell), cell[0]};
}

// Bit k set: comorbid slot k (0-based) of the record is not eight blanks.
// One compare per slot, unrolled and without a branch.
template <std::size_t... K>
inline std::uint32_t filled_slots(const char* record, std::index_sequence<K...>) {
  auto filled = [&](int k) {
    std::uint64_t word;
    std::memcpy(&word, record + kComorbidStart[k] - 1, sizeof word);
    return std::uint32_t{word != kBlankWord} << k;
  };
  return (filled(K) | ...);
}

// The codes of the record's slots, read in place, as the trimmed comorbid
// code list would give them. A blank slot trims to an empty cell, which
// neither begins with "^" nor gives a code: only the filled slots need
// reading.
inline void scan_record(const char* record, TableVersion version, ScannedCodes& out) {
  const bool fullScan = full_scan(version);
  const std::uint32_t scanned = (1U << table_version_info(version).cells) - 1;
  std::uint32_t filled = filled_slots(record, std::make_index_sequence<kComorbidSlots>{}) & scanned;
  for (; filled != 0; filled &= filled - 1) {
    const int k = std::countr_zero(filled);
    const SlotCode c = read_slot(record + kComorbidStart[k] - 1);
    if (fullScan && c.first == '^') break;
    out.key[out.count] = c.key;
    out.count += c.key != 0;
  }
}

}  // namespace cmg290::detail
