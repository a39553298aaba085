// cmg290 tables: the comorbidity tier tables compiled into the grouper.
//
//   check   checks them and prints each violation, one per line, as "list
//           NAME row N: what" (or "list NAME: what"); exit 0 when sound, 1
//           when violations were found
//   export  writes one list as CSV (tables_export.cpp)
//   import  turns a CSV list into its data file (tables_import.cpp)
#include <CLI/CLI.hpp>

#include <cstdio>

#include "commands.h"
#include "exit_codes.h"
#include "tables_subcommands.h"
#include "tier_validate.h"

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
      "tables", "Check, export and import the comorbidity tier tables of the grouper.");
  tables->require_subcommand(1);
  CLI::App* check = tables->add_subcommand(
      "check",
      "Check the comorbidity tier tables (shapes, code and excluded-RIC formats, order, fixed "
      "rows, excluded-RIC counts, the differences between table versions) and print each "
      "violation; exit 0 when sound, 1 otherwise.");
  auto exportRun = add_tables_export(*tables);
  auto importRun = add_tables_import(*tables);
  return Command{tables, [tables, check, exportRun, importRun] {
                   if (check->parsed()) return check_tables();
                   if (tables->get_subcommand("export")->parsed()) return exportRun();
                   return importRun();
                 }};
}

}  // namespace cmg290::cli
