// Counts of one `cmg290 group` run, or of one chunk of it: records, empty and
// short lines, results by status, grouped results by tier letter, and with
// --edits records by edit code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cmg290/edits.h"
#include "cmg290/status.h"
#include "result_format.h"

namespace cmg290::cli::batch {

struct Tally {
  // -1 (a short line) to the grouper's highest code, then any other code.
  static constexpr int kHighestStatus = cmg290::highest_status_code();
  static constexpr int kStatusSlots = kHighestStatus + 3;
  static constexpr int kTierSlots = 5;  // A, B, C, D, then anything else

  std::uint64_t records = 0;
  std::uint64_t empty = 0;
  std::uint64_t shortLines = 0;
  std::uint64_t byStatus[kStatusSlots] = {};
  std::uint64_t byTier[kTierSlots] = {};
  std::uint64_t placeholderTiers = 0;     // grouped, the tier letter from a placeholder row
  std::uint64_t withEdits = 0;            // records with at least one edit
  std::uint64_t byEdit[kEditCount] = {};  // records with at least one edit of each code

  // Counts a record's edits: once per code, however many cells raise it.
  void add_edits(const Edits& edits) {
    if (edits.empty()) return;
    ++withEdits;
    static_assert(kEditCount <= 32);
    std::uint32_t seen = 0;
    for (const Edit& e : edits) seen |= std::uint32_t{1} << static_cast<int>(e.id);
    for (std::size_t i = 0; seen != 0; ++i, seen >>= 1) byEdit[i] += seen & 1;
  }

  static int status_slot(int status) {
    return status < kStatusShortLine || status > kHighestStatus ? kStatusSlots - 1 : status + 1;
  }
  static int tier_slot(char letter) {
    return letter >= 'A' && letter <= 'D' ? letter - 'A' : kTierSlots - 1;
  }
  std::uint64_t grouped() const { return byStatus[status_slot(0)]; }

  void add(const Tally& o) {
    records += o.records;
    empty += o.empty;
    shortLines += o.shortLines;
    for (int i = 0; i < kStatusSlots; ++i) byStatus[i] += o.byStatus[i];
    for (int i = 0; i < kTierSlots; ++i) byTier[i] += o.byTier[i];
    placeholderTiers += o.placeholderTiers;
    withEdits += o.withEdits;
    for (std::size_t i = 0; i < kEditCount; ++i) byEdit[i] += o.byEdit[i];
  }
};

}  // namespace cmg290::cli::batch
