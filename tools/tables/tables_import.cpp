// cmg290 tables import: turns a comorbidity tier list in CSV into the data
// file that the build compiles (src/tables/tier/*.def), then runs the table
// checks on the tables that the data files now describe. When the folder is
// a tier-table set instead, the list replaces the set's CSV file of that list
// (tables_import_set.cpp).
//
// Every row is checked before anything is written: any fault is reported
// with the file and line, and nothing is written (exit 2). Once written, the
// checks run over the lists of the data files in the same folder (the
// compiled ones where a file is missing there), with the new list in place;
// their violations give exit 1.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "exit_codes.h"
#include "shared/output_file.h"
#include "tables_import_set.h"
#include "tables_subcommands.h"
#include "tier_csv.h"

namespace cmg290::cli {

namespace {

namespace fs = std::filesystem;

struct ImportOptions {
  std::string input;
  std::string version;
  std::string list;
  std::string into = ".";
  bool allowDeviations = false;
};

std::optional<std::string> slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(s).str();
}

std::vector<std::string> comment_lines(const tier::ListFile& file, const std::string& source,
                                       std::size_t count) {
  const char* what = file.kind == tier::ListKind::kPair        ? "pair list"
                     : file.kind == tier::ListKind::kSecondary ? "secondary list"
                                                               : "list of single codes";
  std::vector<std::string> lines = {
      "Imported by `cmg290 tables import` from " + source + "; import the list again to change it.",
      "Comorbidity tier " + std::string(what) + " of table version" +
          (std::string(file.versions).find("and") != std::string::npos ? "s " : " ") +
          file.versions + ", " + std::to_string(count) + (count == 1 ? " entry." : " entries."),
  };
  if (file.kind == tier::ListKind::kPair) {
    lines.push_back("One entry per line, in row order from row 1:");
    lines.push_back("  PAIR(first code, second code, tier, excluded RICs).");
  } else {
    lines.push_back("One entry per line, in row order from row 1: ROW(code, tier, excluded RICs).");
  }
  lines.push_back("Row 0 (blank) is not listed. Included with " +
                  std::string(file.kind == tier::ListKind::kPair ? "PAIR" : "ROW") +
                  " defined as each column needs.");
  return lines;
}

// The tier tables that the data files in `dir` describe: the lists of every
// file found there, the compiled lists for the others. `owned` keeps the
// cells alive.
tables::TierTables tables_of_folder(const fs::path& dir,
                                    std::vector<std::unique_ptr<tier::OwnedList>>& owned,
                                    std::vector<std::string>& notes) {
  const tables::TierTables compiled = tables::compiled_tier_tables();
  tables::TierTables result = compiled;
  for (const tier::ListFile& file : tier::all_list_files()) {
    const auto text = slurp((dir / file.fileName).string());
    if (!text) {
      notes.push_back(std::string(file.fileName) + " not found there, the compiled list is used");
      continue;
    }
    std::vector<tier::Entry> entries;
    std::string error;
    if (!tier::read_def(*text, file.kind, entries, error)) {
      notes.push_back(std::string(file.fileName) + " " + error + "; the compiled list is used");
      continue;
    }
    for (const auto member : file.lists) {
      owned.push_back(std::make_unique<tier::OwnedList>(compiled.*member, entries));
      result.*member = owned.back()->view();
    }
  }
  return result;
}

int run_import(const ImportOptions& o) {
  std::string error;
  const tier::ListFile* file = tier::find_list(o.version, o.list, error);
  if (file == nullptr) return fatal(error);
  const auto text = slurp(o.input);
  if (!text) return fatal("cannot read " + o.input);
  std::vector<tier::RowError> errors;
  const std::vector<tier::Entry> entries = tier::read_csv(*text, file->kind, errors);
  if (!errors.empty()) {
    for (const tier::RowError& e : errors) {
      std::fprintf(stderr, "%s:%d: %s\n", o.input.c_str(), e.line, e.reason.c_str());
    }
    return fatal(std::to_string(errors.size()) + " faulty line" + (errors.size() == 1 ? "" : "s") +
                 " in " + o.input + "; nothing written");
  }
  if (is_set_directory(o.into)) {
    return import_into_set(o.input, entries, *file, o.into, o.allowDeviations);
  }
  if (o.allowDeviations) {
    return fatal("--allow-deviations applies to a tier-table set, and " + o.into + " is none");
  }

  const fs::path target = fs::path(o.into) / file->fileName;
  const std::string def =
      tier::render_def(entries, file->kind,
                       comment_lines(*file, fs::path(o.input).filename().string(), entries.size()));
  OutputFile out;
  if (!out.open(target.string())) return fatal(out.error());
  out.write(def);
  if (const int code = out.finish(kExitClean); !out.committed()) return code;
  std::fprintf(stderr, "cmg290: wrote %s (%zu entr%s)\n", target.c_str(), entries.size(),
               entries.size() == 1 ? "y" : "ies");

  std::vector<std::unique_ptr<tier::OwnedList>> owned;
  std::vector<std::string> notes;
  const tables::TierTables tables = tables_of_folder(o.into, owned, notes);
  for (const std::string& n : notes) std::fprintf(stderr, "cmg290: %s\n", n.c_str());
  const auto violations = tables::check_tier_tables(tables);
  for (const auto& v : violations) std::printf("%s\n", v.c_str());
  if (violations.empty()) {
    std::fprintf(stderr, "tier tables with the imported list: all checks passed\n");
    return kExitClean;
  }
  std::fprintf(stderr, "tier tables with the imported list: %zu violation%s\n", violations.size(),
               violations.size() == 1 ? "" : "s");
  return kExitFlagged;
}

}  // namespace

std::function<int()> add_tables_import(CLI::App& tables) {
  auto o = std::make_shared<ImportOptions>();
  CLI::App* cmd = tables.add_subcommand(
      "import",
      "Turn a comorbidity tier list in CSV (as tables export writes it) into its data file in "
      "DIR, then run the table checks on the data files there. Any faulty row is reported with "
      "its line and nothing is written (exit 2); exit 1 when the checks find violations. When "
      "DIR is a tier-table set (it holds manifest.txt or a list such as single-2.90.csv), the "
      "list's CSV file there is replaced, only if the whole set then loads; otherwise every "
      "problem is reported as FILE:LINE: reason and nothing changes (exit 2).");
  cmd->add_option("file", o->input, "The CSV file.")->required();
  cmd->add_option("--version", o->version, "Table version: 2.40, 2.50, 2.60, 2.70, 2.82 or 2.90.")
      ->required();
  cmd->add_option("--list", o->list, "single, pair or secondary (pair and secondary: 2.82, 2.90).")
      ->required()
      ->check(CLI::IsMember({"single", "pair", "secondary"}));
  cmd->add_option("--into", o->into,
                  "Folder of the data files, src/tables/tier in the source tree (default: the "
                  "current folder), or a tier-table set directory. To start a set, write the "
                  "compiled-in one with tables export --all DIR.");
  cmd->add_flag("--allow-deviations", o->allowDeviations,
                "Into a set: accept a set that deviates from the documented contents of the "
                "lists (tables check DIR --allow-deviations).");
  return [o] { return run_import(*o); };
}

}  // namespace cmg290::cli
