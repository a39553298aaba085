// The tier-table set a run of `cmg290 group` or `cmg290 explain` groups
// with: the compiled-in lists, or a set loaded once from --tier-tables DIR
// before any input is read; and grouping with it while telling whether a
// record's tier letter came from a placeholder row.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/tier_set.h"

namespace CLI {
class App;
class Validator;
}  // namespace CLI

namespace cmg290::cli {

struct TierSetChoice {
  std::string directory;  // empty: the compiled-in lists
  bool allowDeviations = false;
  std::string expectedSha256;  // empty: no pin; else 64 lower-case hex digits
};

// Adds --tier-tables DIR, --allow-deviations and --tier-tables-sha256 HEX to
// a subcommand.
void add_tier_set_options(CLI::App& cmd, TierSetChoice& choice);

// Checks a value of --tier-tables-sha256 (parse_sha256) and turns it into
// lower case.
CLI::Validator sha256_option();

// The help of --tier-tables-sha256.
extern const char* const kSha256Help;

// The chosen set. A set that fails to load gives null, after every problem
// has been written to standard error, one "FILE:LINE: reason" a line.
std::shared_ptr<const TierSet> load_chosen_set(const TierSetChoice& choice);

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
