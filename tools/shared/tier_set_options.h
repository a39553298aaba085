// The tier-table set a subcommand groups with, as its command line chooses
// it: the compiled-in lists, or the set in --tier-tables DIR, taken with
// --allow-deviations or pinned by --tier-tables-sha256 HEX. Every subcommand
// that takes a set adds these options with add_tier_set_options and loads
// the set with load_tier_set, which refuses a faulty set in one wording:
//
//   cmg290: the tier-table set in DIR cannot be used:
//   DIR/FILE:LINE: reason          (every problem, one a line)
//   cmg290: these are deviations from the documented contents of the lists;
//   --allow-deviations takes them  (one line, when only deviations stood in
//                                   the way)
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"

namespace CLI {
class App;
}  // namespace CLI

namespace cmg290::cli {

struct TierSetChoice {
  std::string directory;  // empty: the compiled-in lists
  bool allowDeviations = false;
  std::string expectedSha256;  // empty: no pin; else 64 lower-case hex digits
};

// `cmg290 compare`'s: --tier-tables given once or twice (the old set, then
// the new), and none or one --tier-tables-sha256 for each in turn.
struct TierSetChoices {
  std::vector<std::string> directories;
  bool allowDeviations = false;
  std::vector<std::string> pins;

  // The i-th set's choice (pins checked to be one a set by the caller).
  TierSetChoice choice(std::size_t i) const;
};

// The help of --tier-tables where the set is loaded once before any input
// is read.
extern const char* const kTierTablesHelp;

// Adds --tier-tables DIR, --allow-deviations and --tier-tables-sha256 HEX to
// a subcommand; the last two need the first. `help` tells what the set is
// for in this subcommand.
void add_tier_set_options(CLI::App& cmd, TierSetChoice& choice,
                          const std::string& help = kTierTablesHelp);
// The same for compare's one or two sets, --tier-tables required.
void add_tier_set_options(CLI::App& cmd, TierSetChoices& choices, const std::string& help);

// A set that cannot be used: every problem as "FILE:LINE: reason", and
// whether only deviations from the documented contents of the lists stood
// in the way (asked only when deviations were neither allowed nor pinned).
struct SetRefusal {
  std::vector<std::string> problems;
  bool onlyDeviations = false;
};

// The chosen set, or null with `refusal` told why.
std::shared_ptr<const TierSet> try_load_set(const TierSetChoice& choice, SetRefusal& refusal);

// Who refuses the set, and which of two sets it is.
struct SetVoice {
  const char* who = "cmg290";  // the start of each line of the refusal
  const char* side = nullptr;  // "old" or "new" where a command takes two
};

// Loads the chosen set into `set` and returns kExitClean; or writes the
// refusal (above) to standard error and returns kExitFatal.
int load_tier_set(const TierSetChoice& choice, std::shared_ptr<const TierSet>& set,
                  const SetVoice& voice = {});

// The refusal's text, every line ending with a newline.
std::string refusal_text(const std::string& directory, const SetRefusal& refusal,
                         const SetVoice& voice);

}  // namespace cmg290::cli
