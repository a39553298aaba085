// cmg290 tables: the comorbidity tier tables compiled into the grouper.
//
//   check   checks them and prints each violation, one per line, as "list
//           NAME row N: what" (or "list NAME: what"); exit 0 when sound, 1
//           when violations were found. With DIR, checks the tier-table set
//           there instead (tables_check_set.cpp)
//   export  writes one list as CSV, or the whole set (tables_export.cpp)
//   import  turns a CSV list into its data file, or into a list of a set
//           (tables_import.cpp, tables_import_set.cpp)
//   diff    what changed between two sets, list by list (tables_diff.cpp)
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "checks/tier_validate.h"
#include "commands.h"
#include "exit_codes.h"
#include "tables_subcommands.h"

namespace cmg290::cli {

namespace {

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

}  // namespace

Command add_tables_command(CLI::App& app) {
  CLI::App* tables = app.add_subcommand(
      "tables", "Check, export, import and compare the comorbidity tier tables of the grouper.");
  tables->require_subcommand(1);
  CLI::App* check = tables->add_subcommand(
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
  auto exportRun = add_tables_export(*tables);
  auto importRun = add_tables_import(*tables);
  auto diffRun = add_tables_diff(*tables);
  return Command{tables, [tables, check, setDir, allowDeviations, exportRun, importRun, diffRun] {
                   if (check->parsed()) {
                     if (!setDir->empty()) return check_tier_set(*setDir, *allowDeviations);
                     if (*allowDeviations) return fatal("--allow-deviations needs a set DIR");
                     return check_tables();
                   }
                   if (tables->get_subcommand("export")->parsed()) return exportRun();
                   if (tables->get_subcommand("diff")->parsed()) return diffRun();
                   return importRun();
                 }};
}

}  // namespace cmg290::cli
