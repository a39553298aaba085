// The comorbidity tier lists a server groups with, as its answers and its
// log describe them: a tier-table set loaded from --tier-tables (at start,
// and again on SIGHUP; see served_tables.h), or the lists compiled into the
// library. A loaded set is only read, by every event loop and worker thread
// at once.
#pragma once

#include <string>

#include "cmg290/tier_set.h"

namespace cmg290::serve {

// The set as GET /v1/tables describes it: tier_set_json's members and the
// entries of each list by its file, {"entries":{"single-2.40.csv":N,...}},
// without the closing brace of the object (more members follow).
std::string tables_json_members(const TierSet& set);

// "tier tables NAME sha256:DIGEST", marked when the set holds placeholder
// rows: the set as the server's log names it.
std::string tier_set_line(const TierSet& set);

}  // namespace cmg290::serve
