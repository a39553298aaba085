// cmg290 tables check DIR: the checks of a tier-table set on disk, the same
// that the library runs when it loads one (TierSet::load).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"
#include "exit_codes.h"
#include "tables_subcommands.h"

namespace cmg290::cli {

namespace {

constexpr TierSetList kLists[] = {
    TierSetList::Single240, TierSetList::Single250, TierSetList::Single260, TierSetList::Single282,
    TierSetList::Single290, TierSetList::Pair,      TierSetList::Secondary};

std::string plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int check_tier_set(const std::string& dir, bool allowDeviations) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    return fatal("cannot read the tier-table set " + dir + ": " +
                 (ec ? ec.message() : std::string("not a directory")));
  }
  if (access(dir.c_str(), R_OK | X_OK) != 0) {
    return fatal("cannot read the tier-table set " + dir + ": permission denied");
  }
  std::vector<TierSetProblem> problems;
  TierSetOptions options;
  options.allowDeviations = allowDeviations;
  const auto set = TierSet::load(dir, problems, options);
  if (set == nullptr) {
    for (const TierSetProblem& p : problems) std::printf("%s\n", problem_text(p).c_str());
    std::fprintf(stderr, "tier-table set %s: %s\n", dir.c_str(),
                 plural(problems.size(), "problem", "problems").c_str());
    return kExitFlagged;
  }
  std::printf("%s\n", set->identity().c_str());
  for (const TierSetList list : kLists) {
    int placeholders = 0;
    int cleared = 0;
    for (int row = 1; row <= set->entries(list); ++row) {
      placeholders += set->is_placeholder(list, row);
      cleared += set->disclosure_cleared(list, row);
    }
    std::printf("  %-16s %5d entries", tier_set_file(list), set->entries(list));
    if (placeholders > 0)
      std::printf(", %d placeholder%s", placeholders, placeholders == 1 ? "" : "s");
    if (cleared > 0) std::printf(", %d cleared (marked official)", cleared);
    std::printf("\n");
  }
  // Files passed over, rows whose disclosure is cleared, manifest keys no
  // longer honoured.
  if (!set->notes().empty()) {
    std::printf("notes: %zu\n", set->notes().size());
    for (const std::string& n : set->notes()) std::printf("  %s\n", n.c_str());
  }
  const auto& deviations = set->deviations();
  if (!deviations.empty()) {
    std::printf("deviations allowed: %zu\n", deviations.size());
    for (const std::string& d : deviations) std::printf("  %s\n", d.c_str());
  }
  std::fprintf(stderr, "tier-table set %s: all checks passed%s\n", dir.c_str(),
               deviations.empty() ? "" : " (with deviations allowed)");
  return kExitClean;
}

}  // namespace cmg290::cli
