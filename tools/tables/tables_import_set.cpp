#include "tables_import_set.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "cmg290/tier_set.h"
#include "exit_codes.h"
#include "shared/output_file.h"
#include "tier_csv.h"

namespace cmg290::cli {

namespace {

namespace fs = std::filesystem;

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

}  // namespace

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

}  // namespace cmg290::cli
