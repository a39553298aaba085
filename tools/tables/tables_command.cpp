// cmg290 tables: the comorbidity tier tables compiled into the grouper, and
// tier-table sets. One file per subcommand:
//
//   check   checks them, or the set in DIR (tables_check.cpp)
//   export  writes one list as CSV, or the whole set (tables_export.cpp)
//   import  turns a CSV list into its data file, or into a list of a set
//           (tables_import.cpp; the CSV form in tier_csv.h)
//   diff    what changed between two sets, list by list (tables_diff.cpp;
//           the comparison in set_diff.h)
#include <CLI/CLI.hpp>

#include "commands.h"
#include "tables_subcommands.h"

namespace cmg290::cli {

Command add_tables_command(CLI::App& app) {
  CLI::App* tables = app.add_subcommand(
      "tables", "Check, export, import and compare the comorbidity tier tables of the grouper.");
  tables->require_subcommand(1);
  auto checkRun = add_tables_check(*tables);
  auto exportRun = add_tables_export(*tables);
  auto importRun = add_tables_import(*tables);
  auto diffRun = add_tables_diff(*tables);
  return Command{tables, [tables, checkRun, exportRun, importRun, diffRun] {
                   if (tables->get_subcommand("check")->parsed()) return checkRun();
                   if (tables->get_subcommand("export")->parsed()) return exportRun();
                   if (tables->get_subcommand("diff")->parsed()) return diffRun();
                   return importRun();
                 }};
}

}  // namespace cmg290::cli
