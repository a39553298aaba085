// The comorbidity tier lists a server groups with: a tier-table set loaded
// from --tier-tables (at start, and again on SIGHUP; see served_tables.h),
// or the lists compiled into the library. A loaded set is only read, by
// every event loop and worker thread at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"

namespace cmg290::serve {

// Loads the set in `directory` (empty: the compiled-in lists). On a fault
// returns null with every problem found in `problems`, one text per problem
// as "FILE:LINE: reason"; `onlyDeviations` then says whether only deviations
// from the documented contents of the lists stood in the way.
std::shared_ptr<const TierSet> load_tier_set(const std::string& directory,
                                             const TierSetOptions& options,
                                             std::vector<std::string>& problems,
                                             bool& onlyDeviations);

// The set as GET /v1/tables describes it: tier_set_json's members and the
// entries of each list by its file, {"entries":{"single-2.40.csv":N,...}},
// without the closing brace of the object (more members follow).
std::string tables_json_members(const TierSet& set);

// "tier tables NAME sha256:DIGEST", marked when the set holds placeholder
// rows: the set as the server's log names it.
std::string tier_set_line(const TierSet& set);

}  // namespace cmg290::serve
