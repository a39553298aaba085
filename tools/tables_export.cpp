// cmg290 tables export: writes one comorbidity tier list compiled into the
// grouper as CSV.
#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "exit_codes.h"
#include "output_file.h"
#include "tables_subcommands.h"
#include "tier_csv.h"

namespace cmg290::cli {

namespace {

struct ExportOptions {
  std::string version;
  std::string list;
  std::string output;
};

int run_export(const ExportOptions& o) {
  std::string error;
  const tier::ListFile* file = tier::find_list(o.version, o.list, error);
  if (file == nullptr) return fatal(error);
  const tables::TierTables compiled = tables::compiled_tier_tables();
  const std::string csv =
      tier::write_csv(tier::entries_of(compiled.*(file->lists.front())), file->kind);

  OutputFile out;
  if (!out.open(o.output)) return fatal(out.error());
  out.write(csv);
  return out.finish(kExitClean);
}

}  // namespace

std::function<int()> add_tables_export(CLI::App& tables) {
  auto o = std::make_shared<ExportOptions>();
  CLI::App* cmd = tables.add_subcommand(
      "export",
      "Write a comorbidity tier list compiled into the grouper as CSV: code,tier,excluded_rics "
      "(pairs: code_1,code_2,tier,excluded_rics), codes as records hold them.");
  cmd->add_option("--version", o->version, "Table version: 2.40, 2.50, 2.60, 2.70, 2.82 or 2.90.")
      ->required();
  cmd->add_option("--list", o->list, "single, pair or secondary (pair and secondary: 2.82, 2.90).")
      ->required()
      ->check(CLI::IsMember({"single", "pair", "secondary"}));
  cmd->add_option("-o,--output", o->output,
                  "Write here instead of standard output; a file is replaced only once complete.");
  return [o] { return run_export(*o); };
}

}  // namespace cmg290::cli
