// cmg290 tables diff OLD NEW: what changed between two tier-table sets,
// list by list, for the review of a list update (set_diff.h).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "exit_codes.h"
#include "set_diff.h"
#include "shared/tier_set_options.h"
#include "tables_subcommands.h"

namespace cmg290::cli {

namespace {

// Names the compiled-in set where a set directory is expected; a directory
// of that name is reached as ./compiled-in.
constexpr const char* kCompiledIn = "compiled-in";

struct DiffOptions {
  std::string old, now;
  std::string format = "text";
  bool allowDeviations = false;
};

// The set a directory argument names; the compiled-in set has no directory.
TierSetChoice choice(const std::string& dir, bool allowDeviations) {
  return {dir == kCompiledIn ? std::string() : dir, allowDeviations, {}};
}

int run_diff(const DiffOptions& o) {
  std::shared_ptr<const TierSet> old;
  std::shared_ptr<const TierSet> now;
  if (const int refused = load_tier_set(choice(o.old, o.allowDeviations), old, {.side = "old"});
      refused != kExitClean) {
    return refused;
  }
  if (const int refused = load_tier_set(choice(o.now, o.allowDeviations), now, {.side = "new"});
      refused != kExitClean) {
    return refused;
  }
  const std::vector<setdiff::Change> changes = setdiff::diff(*old, *now);
  std::string out;
  if (o.format == "csv") {
    // The sets' identities stay out of the rows, which a spreadsheet reads.
    std::fprintf(stderr, "cmg290: old: %s\ncmg290: new: %s\n", old->identity().c_str(),
                 now->identity().c_str());
    for (const TierSetList list : kTierSetLists) {
      if (setdiff::reordered(*old, *now, list)) {
        std::fprintf(stderr, "cmg290: %s: the entries both sets hold come in another order\n",
                     tier_set_file(list));
      }
    }
    out = setdiff::csv_report(changes);
  } else {
    out = o.format == "json" ? setdiff::json_report(*old, *now, changes)
                             : setdiff::text_report(*old, *now, changes);
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0) return fatal("cannot write the report");
  return kExitClean;
}

}  // namespace

std::function<int()> add_tables_diff(CLI::App& tables) {
  auto o = std::make_shared<DiffOptions>();
  CLI::App* cmd = tables.add_subcommand(
      "diff",
      "Show what changed from the tier-table set OLD to the set NEW, list by list: entries added "
      "and removed (a pair.csv entry is keyed by its two codes), tier and excluded-RIC changes, "
      "placeholder disclosures cleared or added, with each entry's lines in both sets, lists whose "
      "common entries come in another order (pair.csv: its last matching row counts), and the "
      "identities of both sets. Exit 0 whether or not they differ; 2 when a set does not load "
      "(every problem as FILE:LINE: reason).");
  cmd->add_option("OLD", o->old,
                  "The old set: a directory, or compiled-in for the lists compiled into the "
                  "grouper (a directory of that name: ./compiled-in).")
      ->required();
  cmd->add_option("NEW", o->now, "The new set, likewise.")->required();
  CLI::Option* format =
      cmd->add_option("-f,--format", o->format,
                      "text: for a reader; csv: one row per change (list,versions,change,code,"
                      "code_2, then line, tier, excluded RICs and placeholder on the old and the "
                      "new side), the identities on standard error; json: one document "
                      "(docs/cmg290.1).")
          ->check(CLI::IsMember({"text", "csv", "json"}))
          ->default_str("text");
  cmd->add_flag_callback(
         "--csv", [o] { o->format = "csv"; }, "The same as -f csv.")
      ->excludes(format);
  cmd->add_flag_callback(
         "--json", [o] { o->format = "json"; }, "The same as -f json.")
      ->excludes(format)
      ->excludes("--csv");
  cmd->add_flag("--allow-deviations", o->allowDeviations,
                "Load sets that deviate from the documented contents of the lists; their "
                "deviations are shown with their identities.");
  return [o] { return run_diff(*o); };
}

}  // namespace cmg290::cli
