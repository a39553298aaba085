// cmg290 tables check: checks the comorbidity tier tables compiled into the
// grouper and prints each violation, one per line, as "list NAME row N:
// what" (or "list NAME: what"). Exit status: 0 the tables are sound, 1
// violations were found.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "commands.h"
#include "tier_validate.h"

namespace cmg290::cli {

namespace {

int check_tables() {
  const auto violations = tables::check_tier_tables(tables::compiled_tier_tables());
  for (const auto& v : violations) std::printf("%s\n", v.c_str());
  if (violations.empty()) {
    std::fprintf(stderr, "tier tables: all checks passed\n");
    return 0;
  }
  std::fprintf(stderr, "tier tables: %zu violation%s\n", violations.size(),
               violations.size() == 1 ? "" : "s");
  return 1;
}

}  // namespace

Command add_tables_command(CLI::App& app) {
  CLI::App* tables = app.add_subcommand("tables", "Inspect the tables compiled into the grouper");
  tables->require_subcommand(1);
  CLI::App* check = tables->add_subcommand(
      "check",
      "Check the comorbidity tier tables (shapes, code and excluded-RIC formats, order, fixed "
      "rows, excluded-RIC counts, the differences between table versions) and print each "
      "violation; exit 0 when sound, 1 otherwise");
  return Command{check, check_tables};
}

}  // namespace cmg290::cli
