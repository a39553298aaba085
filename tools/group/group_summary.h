// The closing summary of `cmg290 group` on standard error, and the number
// format it shares with the progress line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cmg290/tier_set.h"
#include "group_tally.h"

namespace cmg290::cli::batch {

// 1234567 as "1,234,567".
std::string with_commas(std::uint64_t v);

// Records, rate, the tier-table set, one line per non-zero count of t, for
// a set that holds placeholder rows how many tier letters came from them,
// and with `edits` the records with edits, per code from the most common.
void print_summary(const Tally& t, std::size_t files, double seconds, const TierSet& set,
                   bool edits = false);

}  // namespace cmg290::cli::batch
