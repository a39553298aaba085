// cmg290 tables check [DIR]: the checks of the tier tables compiled into
// the grouper, or of the tier-table set in DIR, the same that the library
// runs when it loads one (TierSet::load).
//
// The compiled-in tables' violations are printed one a line as "list NAME
// row N: what" (or "list NAME: what"); a set's problems as "FILE:LINE:
// reason", or on success its identity, entry counts, notes and allowed
// deviations. Exit 0 when sound, 1 when violations or problems were found,
// 2 when DIR cannot be read. A set that does not load is the finding here,
// not a refusal: it goes to standard output, with its count on standard
// error.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "checks/tier_validate.h"
#include "cmg290/tier_set.h"
#include "exit_codes.h"
#include "tables_subcommands.h"

namespace cmg290::cli {

namespace {

std::string plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

int check_tables() {
  const auto violations = tables::check_tier_tables(tables::compiled_tier_tables());
  for (const auto& v : violations) std::printf("%s\n", v.c_str());
  if (violations.empty()) {
    std::fprintf(stderr, "tier tables: all checks passed\n");
    return kExitClean;
  }
  std::fprintf(stderr, "tier tables: %zu violation%s\n", violations.size(),
               violations.size() == 1 ? "" : "s");
  return kExitFlagged;
}

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
  for (const TierSetList list : kTierSetLists) {
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

}  // namespace

std::function<int()> add_tables_check(CLI::App& tables) {
  CLI::App* check = tables.add_subcommand(
      "check",
      "Check the comorbidity tier tables (shapes, code and excluded-RIC formats, order, fixed "
      "rows, excluded-RIC counts, the differences between table versions) and print each "
      "violation; exit 0 when sound, 1 otherwise. Without DIR the tables compiled into the "
      "grouper are checked; with DIR the tier-table set there, each fault printed as "
      "FILE:LINE: reason, and on success the set's identity and entry counts; exit 2 when DIR "
      "cannot be read.");
  auto setDir = std::make_shared<std::string>();
  auto allowDeviations = std::make_shared<bool>(false);
  check->add_option("dir", *setDir, "A tier-table set directory (as tables export --all writes).");
  check->add_flag("--allow-deviations", *allowDeviations,
                  "Accept a set that deviates from the documented contents of the lists (entry "
                  "counts, fixed rows, version differences, excluded-RIC counts); the "
                  "deviations are listed. Only with DIR.");
  return [setDir, allowDeviations] {
    if (!setDir->empty()) return check_tier_set(*setDir, *allowDeviations);
    if (*allowDeviations) return fatal("--allow-deviations needs a set DIR");
    return check_tables();
  };
}

}  // namespace cmg290::cli
