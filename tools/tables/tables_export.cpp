// cmg290 tables export: writes one comorbidity tier list compiled into the
// grouper as CSV, or with --all the whole compiled-in set as a tier-table
// set directory.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"
#include "exit_codes.h"
#include "shared/output_file.h"
#include "tables_subcommands.h"
#include "tier_csv.h"

namespace cmg290::cli {

namespace {

namespace fs = std::filesystem;

struct ExportOptions {
  std::string version;
  std::string list;
  std::string output;
  std::string all;  // --all DIR
  bool force = false;
};

// The name of the set in `dir`: the directory's own name when it is a
// name a manifest takes (1 to 100 printable ASCII characters), else
// "exported".
std::string set_name_of(const std::string& dir) {
  fs::path p = fs::absolute(fs::path(dir)).lexically_normal();
  if (!p.has_filename()) p = p.parent_path();
  std::string name = p.filename().string();
  while (!name.empty() && name.back() == ' ') name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  const bool printable = std::all_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f;
  });
  return name.empty() || name.size() > 100 || !printable ? "exported" : name;
}

// Writes the compiled-in set into `dir`: a new or empty directory, or with
// `force` one that holds nothing but a set's files, which are replaced. A
// set's files without `force` are refused untouched, named: they may hold
// the edits of a list update. A directory holding anything else is refused
// all the same: the set would not load there, and its other files are not
// ours to remove.
int export_all(const std::string& dir, bool force) {
  std::error_code ec;
  std::vector<std::string> replaced;
  const fs::file_status status = fs::status(dir, ec);
  if (!ec && fs::exists(status)) {
    if (!fs::is_directory(status)) return fatal(dir + " exists and is not a directory");
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (!tier::is_set_file(name)) {
        return fatal(dir + " holds " + name +
                     ", which is not a file of a tier-table set; nothing written (export into a "
                     "new or empty directory, or one holding only a set)");
      }
      replaced.push_back(name);
    }
    if (ec) return fatal("cannot read the directory " + dir + ": " + ec.message());
  }
  std::sort(replaced.begin(), replaced.end());
  std::string names;
  for (const std::string& name : replaced) names += (names.empty() ? "" : ", ") + name;
  if (!replaced.empty() && !force) {
    return fatal(dir + " already holds a set; export would replace " + names +
                 ". Nothing written: give --force to replace them, or export into a new or "
                 "empty directory");
  }
  std::string error;
  if (!TierSet::compiled()->write(dir, error)) return fatal(error);
  // The copy is not the compiled-in set: it takes its directory's name,
  // so that a set grown from it is never reported as "compiled-in".
  const std::string name = set_name_of(dir);
  OutputFile manifest;
  if (!manifest.open((fs::path(dir) / "manifest.txt").string())) return fatal(manifest.error());
  manifest.write(
      "# A comorbidity tier-table set, written by `cmg290 tables export --all` from the lists\n"
      "# compiled into the grouper. Rename it once it holds other lists. A placeholder row\n"
      "# stays disclosed until its placeholder column says \"official\" (docs/tier-sets.md).\n"
      "name = " +
      name + "\n");
  if (const int code = manifest.finish(kExitClean); !manifest.committed()) return code;
  std::fprintf(stderr,
               "cmg290: wrote the compiled-in lists into %s as the set \"%s\" (sha256:%s)\n",
               dir.c_str(), name.c_str(), TierSet::compiled()->digest().c_str());
  if (!replaced.empty()) std::fprintf(stderr, "cmg290: replaced %s\n", names.c_str());
  return kExitClean;
}

int run_export(const ExportOptions& o) {
  if (!o.all.empty()) {
    if (!o.version.empty() || !o.list.empty() || !o.output.empty()) {
      return fatal("--all writes every list; it takes no --version, --list or --output");
    }
    return export_all(o.all, o.force);
  }
  if (o.force) return fatal("--force applies to --all DIR");
  if (o.version.empty() || o.list.empty()) {
    return fatal("tables export needs --version and --list, or --all DIR");
  }
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
      "(pairs: code_1,code_2,tier,excluded_rics), codes as records hold them; or with --all DIR "
      "the whole compiled-in set as a tier-table set.");
  cmd->add_option("--version", o->version, "Table version: 2.40, 2.50, 2.60, 2.70, 2.82 or 2.90.");
  cmd->add_option("--list", o->list, "single, pair or secondary (pair and secondary: 2.82, 2.90).")
      ->check(CLI::IsMember({"single", "pair", "secondary"}));
  cmd->add_option("-o,--output", o->output,
                  "Write here instead of standard output; a file is replaced only once complete.");
  cmd->add_option("--all", o->all,
                  "Write the compiled-in set into this directory: the seven lists "
                  "(single-2.40.csv ... pair.csv, secondary.csv) and manifest.txt, each file "
                  "replaced whole, the manifest naming the set after the directory. The "
                  "directory is created when missing; one that already holds a set's files is "
                  "refused, naming them, unless --force is given; one that holds any other "
                  "file is refused and left as it is.")
      ->type_name("DIR");
  cmd->add_flag("--force", o->force,
                "With --all: replace the files of a set already in DIR (its edits are lost).");
  return [o] { return run_export(*o); };
}

}  // namespace cmg290::cli
