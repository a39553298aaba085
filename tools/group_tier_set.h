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
}

namespace cmg290::cli {

struct TierSetChoice {
  std::string directory;  // empty: the compiled-in lists
  bool allowDeviations = false;
};

// Adds --tier-tables DIR and --allow-deviations to a subcommand.
void add_tier_set_options(CLI::App& cmd, TierSetChoice& choice);

// The chosen set. A set that fails to load gives null, after every problem
// has been written to standard error, one "FILE:LINE: reason" a line.
std::shared_ptr<const TierSet> load_chosen_set(const TierSetChoice& choice);

// Groups records with one set. Any number of threads may use one at once;
// grouping allocates nothing.
class SetGrouper {
 public:
  explicit SetGrouper(std::shared_ptr<const TierSet> set);

  const TierSet& set() const { return *set_; }

  // The result of a record; `placeholder` tells whether its tier letter
  // came from a placeholder row of the set.
  Result group(std::string_view record, bool& placeholder) const noexcept {
    if (!compiled_) {
      TierSource source;
      const Result r = cmg290::group(record, *set_, source);
      placeholder = source.placeholder;
      return r;
    }
    // The compiled-in path is the faster; the row is looked up only for the
    // letters that some placeholder row gives.
    const Result r = cmg290::group(record);
    placeholder = r.status == 0 && placeholder_letter(r.cmg[0]) && placeholder_source(record);
    return r;
  }

 private:
  bool placeholder_letter(char letter) const {
    return letter >= 'A' && letter <= 'D' && placeholderLetters_[letter - 'A'];
  }
  bool placeholder_source(std::string_view record) const noexcept;

  std::shared_ptr<const TierSet> set_;
  bool compiled_;
  bool placeholderLetters_[4] = {};  // A to D: some placeholder row gives the letter
};

}  // namespace cmg290::cli
