// What `cmg290 compare` writes: the report of the results with the old and
// the new set, as text or as one JSON document, and the CSV rows of the
// records whose CMG changed.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "cmg290/tier_set.h"
#include "compare_scan.h"

namespace cmg290::cli::compare {

// The report: both sets by identity, the records read and grouped, how many
// changed CMG, the records of each tier letter with the old set and with the
// new one, the records of each RIC and how many of them changed,
// the CMGs whose record counts differ, and the transitions
// "A0101 -> D0101  1,234" (the old set's CMG, then the new one's), most
// records first, at most `top` of them, then a line for the rest.
std::string report_text(const Counts& counts, const TierSet& old, const TierSet& now,
                        std::size_t top);

// The whole report as one JSON document with its line end (every
// transition, every CMG); its members are listed in docs/cmg290.1.
std::string report_json(const Counts& counts, const TierSet& old, const TierSet& now);

// The transitions, most records first (ties in the order of the CMGs).
std::vector<std::pair<std::pair<std::uint64_t, std::uint64_t>, std::uint64_t>> sorted_transitions(
    const Counts& counts);

// "A", "B", "C", "D", then "none" for the records not grouped.
const char* tier_slot_name(int slot);

// The header of the changed records' CSV, with its line end.
std::string changes_header();

// One changed record as a CSV row, with its line end: its file and line, its
// table version, its CMG with each set, and for each set the entry that gave
// the tier letter ("pair.csv:13", empty when none did), the letter, and
// whether that entry is a placeholder.
std::string change_row(const Change& change, const std::string& file, const TierSet& old,
                       const TierSet& now);

// 1234567 as "1,234,567".
std::string with_commas(std::uint64_t n);

}  // namespace cmg290::cli::compare
