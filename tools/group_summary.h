// The closing summary of `cmg290 group` on standard error, and the number
// format it shares with the progress line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "group_tally.h"

namespace cmg290::cli::batch {

// 1234567 as "1,234,567".
std::string with_commas(std::uint64_t v);

// Records, rate, and one line per non-zero count of t.
void print_summary(const Tally& t, std::size_t files, double seconds);

}  // namespace cmg290::cli::batch
