// The comorbidity tier lists a server groups with: a tier-table set loaded
// once at start from --tier-tables, or the lists compiled into the library.
// The set is held in memory for the server's whole run and only read, by
// every event loop and worker thread at once; files changed under it later
// change nothing.
#pragma once

#include <memory>
#include <string>

#include "cmg290/tier_set.h"

namespace cmg290::serve {

struct ServedTierSet {
  std::shared_ptr<const TierSet> set;  // the set in use, compiled-in or loaded
  // What the routes group and explain with: the loaded set, or null for the
  // compiled-in lists (whose own path gives today's answers byte for byte).
  const TierSet* loaded = nullptr;
  std::string json;  // the answer of GET /v1/tables
};

// Loads the set in `directory` (empty: the compiled-in lists). On a fault
// writes every problem found on standard error, one per line as
// "FILE:LINE: reason", and returns false.
bool load_served_set(const std::string& directory, const TierSetOptions& options,
                     ServedTierSet& out);

// The set as GET /v1/tables describes it: tier_set_json's members and the
// entries of each list by its file, {"entries":{"single-2.40.csv":N,...}}.
std::string tables_json(const TierSet& set);

}  // namespace cmg290::serve
