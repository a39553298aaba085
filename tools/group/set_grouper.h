// Grouping with the tier-table set of a `cmg290 group` run while telling
// whether a record's tier letter came from a placeholder row.
#pragma once

#include <memory>
#include <string_view>
#include <utility>

#include "cmg290/cmg290.h"
#include "cmg290/tier_set.h"

namespace cmg290::cli {

// Groups records with one set, telling for each whether its tier letter
// came from a placeholder row. Any number of threads may use one at once;
// grouping allocates nothing.
//
// The compiled-in set is searched through its set indexes too, which give
// the deciding row: over a million sample records that costs no more than
// the compiled-in path, which would have to search a second time for every
// letter a placeholder row may give (bench/cli_bench.sh).
class SetGrouper {
 public:
  explicit SetGrouper(std::shared_ptr<const TierSet> set) : set_(std::move(set)) {}

  const TierSet& set() const { return *set_; }

  Result group(std::string_view record, bool& placeholder) const noexcept {
    TierSource source;
    const Result r = cmg290::group(record, *set_, source);
    placeholder = source.placeholder;
    return r;
  }

 private:
  std::shared_ptr<const TierSet> set_;
};

}  // namespace cmg290::cli
