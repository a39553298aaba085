// What `cmg290 compare` writes: the report of two sets' results, and the
// CSV rows of the records whose CMG changed.
#pragma once

#include <cstddef>
#include <string>

#include "cmg290/tier_set.h"
#include "compare_scan.h"

namespace cmg290::cli::compare {

// The report: both sets by identity, the records read and grouped, how many
// changed tier letter and CMG, and the transitions "A0101 -> D0101  1,234"
// (set A's CMG, then set B's), most records first, at most `top` of them,
// then a line for the rest.
std::string report_text(const Counts& counts, const TierSet& a, const TierSet& b, std::size_t top);

// The header of the changed records' CSV, with its line end.
std::string changes_header();

// One changed record as a CSV row, with its line end: its file and line,
// the CMG with each set, and for each set the entry that gave the tier
// letter, by the line of its file ("pair.csv:13", empty when none did), and
// whether that row is a placeholder.
std::string change_row(const Change& change, const std::string& file, const TierSet& a,
                       const TierSet& b);

// 1234567 as "1,234,567".
std::string with_commas(std::uint64_t n);

}  // namespace cmg290::cli::compare
