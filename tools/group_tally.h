// Counts of one `cmg290 group` run, or of one chunk of it: records, empty and
// short lines, results by status and grouped results by tier letter.
#pragma once

#include <cstdint>

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
  std::uint64_t placeholderTiers = 0;  // grouped, the tier letter from a placeholder row

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
  }
};

}  // namespace cmg290::cli::batch
