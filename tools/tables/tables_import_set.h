// cmg290 tables import into a tier-table set directory: the imported list
// replaces the set's CSV file of that list, only when the whole set then
// loads.
#pragma once

#include <string>
#include <vector>

#include "tier_lists.h"

namespace cmg290::cli {

// Whether `dir` is a tier-table set: a directory holding manifest.txt or
// one of the seven list files (single-2.40.csv ... secondary.csv).
bool is_set_directory(const std::string& dir);

// Puts `entries` (read from `source`, already checked row by row) into the
// set in `dir` as the list of `file`: the set with the new list is written
// to a scratch copy and loaded there (TierSet::load); only when it loads is
// the list's file in `dir` replaced, whole. Otherwise every problem is
// reported as "FILE:LINE: reason", naming the files of `dir`, and nothing
// changes. Returns the exit code.
int import_into_set(const std::string& source, const std::vector<tier::Entry>& entries,
                    const tier::ListFile& file, const std::string& dir, bool allowDeviations);

}  // namespace cmg290::cli
