// cmg290 tables import: turns a comorbidity tier list in CSV into the data
// file that the build compiles (src/tables/tier/*.def), then runs the table
// checks on the tables that the data files now describe. When the folder is
// a tier-table set instead, the list replaces the set's CSV file of that list,
// only when the whole set then loads.
//
// Every row is checked before anything is written: any fault is reported
// with the file and line, and nothing is written (exit 2). Once written, the
// checks run over the lists of the data files in the same folder (the
// compiled ones where a file is missing there), with the new list in place;
// their violations give exit 1.
#include <CLI/CLI.hpp>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "cmg290/tier_set.h"
#include "exit_codes.h"
#include "shared/output_file.h"
#include "tables_subcommands.h"
#include "tier_csv.h"

namespace cmg290::cli {

namespace {

namespace fs = std::filesystem;

// ---- into a tier-table set: the list replaces the set's file of that list ----

bool list_file_name(const std::string& name) {
  for (int i = 0; i <= static_cast<int>(TierSetList::Secondary); ++i) {
    if (name == tier_set_file(static_cast<TierSetList>(i))) return true;
  }
  return false;
}

// A scratch directory, removed with what it holds when this goes.
class Scratch {
 public:
  bool create(std::string& error) {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "cmg290-import.XXXXXX").string();
    if (ec || mkdtemp(pattern.data()) == nullptr) {
      error = "cannot create a scratch directory to check the set in";
      return false;
    }
    path_ = pattern;
    return true;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// `dir` as the loader names it in problems: without trailing slashes.
std::string where_of(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// The name a set takes from its directory when no manifest names it.
std::string directory_name(const std::string& dir) {
  fs::path p = fs::absolute(fs::path(dir)).lexically_normal();
  if (!p.has_filename()) p = p.parent_path();
  return p.filename().string();
}

// Copies the set in `dir` to `copy`, all but the file `skip`. Any other
// entry is stood in for by an empty file of its name, so that the loader
// names it as it would in `dir`.
bool copy_set(const fs::path& dir, const fs::path& copy, const std::string& skip,
              std::string& error) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == skip) continue;
    const bool known = name == "manifest.txt" || list_file_name(name);
    std::error_code fileError;
    if (known && it->is_regular_file(fileError)) {
      fs::copy_file(it->path(), copy / name, fileError);
    } else {
      FILE* f = std::fopen((copy / name).c_str(), "w");
      if (f == nullptr || std::fclose(f) != 0)
        fileError = std::make_error_code(std::errc::io_error);
    }
    if (fileError) {
      error = "cannot read " + it->path().string() + ": " + fileError.message();
      return false;
    }
  }
  if (ec) error = "cannot read the directory " + dir.string() + ": " + ec.message();
  return !ec;
}

// A problem of the imported list in the scratch copy, whose lines are the
// entries in the order of the list, pointed at the line of the input file
// that holds the entry instead. Problems of the whole file, or of its header
// (which the copy writes anew), name the input file alone.
void to_input_line(TierSetProblem& p, const std::string& source,
                   const std::vector<tier::Entry>& entries) {
  p.file = source;
  const std::size_t entry = p.line >= 2 ? static_cast<std::size_t>(p.line - 2) : entries.size();
  p.line = entry < entries.size() ? entries[entry].line : 0;
}

// Whether `dir` is a tier-table set: a directory holding manifest.txt or
// one of the seven list files (single-2.40.csv ... secondary.csv).
bool is_set_directory(const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return false;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == "manifest.txt" || list_file_name(name)) return true;
  }
  return false;
}

// Puts `entries` (read from `source`, already checked row by row) into the
// set in `dir` as the list of `file`: the set with the new list is written
// to a scratch copy and loaded there (TierSet::load); only when it loads is
// the list's file in `dir` replaced, whole. Otherwise every problem is
// reported as "FILE:LINE: reason", naming the files of `dir`, and nothing
// changes. Returns the exit code.
int import_into_set(const std::string& source, const std::vector<tier::Entry>& entries,
                    const tier::ListFile& file, const std::string& dir, bool allowDeviations) {
  const TierSetList list = file.list;
  const std::string name = tier_set_file(list);
  // With the placeholder column, so that rows marked official stay cleared.
  const std::string csv = tier::write_set_csv(entries, file.kind, static_cast<int>(list));
  const std::string where = where_of(dir);

  std::string error;
  Scratch scratch;
  if (!scratch.create(error)) return fatal(error);
  // The copy has the set directory's own name, which a set without a
  // manifest takes as its name.
  const fs::path copy = scratch.path() / directory_name(dir);
  std::error_code ec;
  fs::create_directory(copy, ec);
  if (ec) return fatal("cannot create " + copy.string() + ": " + ec.message());
  if (!copy_set(dir, copy, name, error)) return fatal(error + "; nothing changed");
  {
    OutputFile out;
    if (!out.open((copy / name).string())) return fatal(out.error());
    out.write(csv);
    if (const int code = out.finish(kExitClean); !out.committed()) return code;
  }

  std::vector<TierSetProblem> problems;
  TierSetOptions options;
  options.allowDeviations = allowDeviations;
  const auto set = TierSet::load(copy.string(), problems, options);
  if (set == nullptr) {
    const std::string prefix = copy.string();
    const std::string imported = (copy / name).string();
    for (TierSetProblem p : problems) {
      if (p.file == imported) {
        to_input_line(p, source, entries);
      } else if (p.file.starts_with(prefix)) {
        p.file = where + p.file.substr(prefix.size());
      }
      std::fprintf(stderr, "%s\n", problem_text(p).c_str());
    }
    return fatal("the set in " + where + " would not load with " + source + " as its " + name +
                 " (" + std::to_string(problems.size()) +
                 (problems.size() == 1 ? " problem" : " problems") + "); nothing changed");
  }

  const std::string target = where + "/" + name;
  OutputFile out;
  if (!out.open(target)) return fatal(out.error());
  out.write(csv);
  if (const int code = out.finish(kExitClean); !out.committed()) return code;
  std::fprintf(stderr, "cmg290: wrote %s (%zu entr%s); the set is now %s\n", target.c_str(),
               entries.size(), entries.size() == 1 ? "y" : "ies", set->identity().c_str());
  for (const std::string& d : set->deviations()) {
    std::string text = d;
    if (text.starts_with(copy.string())) text = where + text.substr(copy.string().size());
    std::fprintf(stderr, "cmg290: deviation allowed: %s\n", text.c_str());
  }
  return kExitClean;
}

// ---- into the data files the build compiles ----

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
