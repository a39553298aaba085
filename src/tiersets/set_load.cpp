// Loading a tier-table set from the texts of its files: the manifest, every
// list read and checked, then the checks of the whole set, the indexes and
// the identity.
#include "tiersets/set_load.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "checks/tier_check.h"

namespace cmg290::tiersets {

namespace {

// "unexpected file: a set holds the seven lists (single-2.40.csv, ...,
// secondary.csv) and manifest.txt, nothing else".
std::string unexpected_file_text() {
  static_assert(kLists == 7, "the message counts the lists in words");
  std::string files;
  for (const tables::TierListInfo& l : tables::kTierLists) {
    files += files.empty() ? "" : ", ";
    files += l.setFile;
  }
  return "unexpected file: a set holds the seven lists (" + files +
         ") and manifest.txt, nothing else";
}

// A manifest line without its blanks, tabs and carriage return at either end.
std::string trim_line(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return std::string(s);
}

struct Manifest {
  std::string name;
};

constexpr std::size_t kMaxNameChars = 100;

// "key = value" lines; blank lines and lines beginning with "#" are skipped.
void read_manifest(std::string_view text, const std::string& path, Manifest& m,
                   std::vector<TierSetProblem>& problems, std::vector<std::string>& notes) {
  std::set<std::string> seen;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string line = trim_line(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    auto fail = [&](const std::string& reason) { problems.push_back({path, number, reason}); };
    if (line.empty() || line[0] == '#') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      fail("expected a \"key = value\" line");
      continue;
    }
    const std::string key = trim_line(std::string_view(line).substr(0, eq));
    const std::string value = trim_line(std::string_view(line).substr(eq + 1));
    if (!seen.insert(key).second) {
      fail("\"" + key + "\" is given twice");
      continue;
    }
    if (key == "name") {
      const bool printable = std::all_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f;
      });
      if (value.empty() || value.size() > kMaxNameChars || !printable) {
        fail("the name must be 1 to " + std::to_string(kMaxNameChars) +
             " printable ASCII characters");
        continue;
      }
      m.name = value;
    } else if (key == "placeholders") {
      // Kept readable, so that a set written before stays usable, but no
      // longer a switch: disclosure follows each row's code.
      if (value != "marked" && value != "none") {
        fail("placeholders must be \"marked\" or \"none\"");
        continue;
      }
      if (value == "none") {
        notes.push_back(problem_text(
            {path, number,
             "\"placeholders = none\" is no longer honoured: a row is a placeholder by its "
             "code; clear rows one by one with \"official\" in the placeholder column (see "
             "docs/tier-sets.md)"}));
      }
    } else {
      fail("unknown key \"" + key + "\" (name, placeholders)");
    }
  }
}

std::string path_of(const std::string& where, const std::string& file) {
  return where.empty() ? file : where + "/" + file;
}

}  // namespace

const char* left_by_editor(std::string_view name) {
  if (name.starts_with(".~lock.") && name.ends_with('#')) return "a spreadsheet's lock file";
  if (name.starts_with("~$")) return "a spreadsheet's lock file";
  if (name.starts_with('.')) return "a hidden file";
  if (name.ends_with(".bak") || name.ends_with('~')) return "an editor's backup";
  return nullptr;
}

std::unique_ptr<SetData> load_files(const std::vector<SetFile>& files, const std::string& where,
                                    const std::string& defaultName, const TierSetOptions& options,
                                    std::vector<TierSetProblem>& problems) {
  const std::size_t before = problems.size();
  // A pinned set takes its deviations: they are part of what was signed off.
  std::string pin;
  if (!options.expectedSha256.empty()) {
    std::string reason;
    if (!parse_sha256(options.expectedSha256, pin, reason)) {
      problems.push_back({where, 0, reason});
      return nullptr;
    }
  }
  const bool allowDeviations = options.allowDeviations || !pin.empty();
  auto data = std::make_unique<SetData>();
  Manifest manifest;
  manifest.name = defaultName;
  const SetFile* byList[kLists] = {};
  for (const SetFile& f : files) {
    if (f.name == kManifestFile) {
      read_manifest(f.text, path_of(where, f.name), manifest, problems, data->notes);
      continue;
    }
    bool known = false;
    for (int i = 0; i < kLists; ++i) {
      if (f.name != list_info(i).setFile) continue;
      known = true;
      if (byList[i] != nullptr) {
        problems.push_back({path_of(where, f.name), 0, "given twice"});
      }
      byList[i] = &f;
    }
    if (const char* what = left_by_editor(f.name); !known && what != nullptr) {
      data->notes.push_back(path_of(where, f.name) + ": passed over (" + what + ")");
      continue;
    }
    if (!known) {
      problems.push_back({path_of(where, f.name), 0, unexpected_file_text()});
    }
  }
  for (int i = 0; i < kLists; ++i) {
    const std::string path = path_of(where, list_info(i).setFile);
    if (byList[i] == nullptr) {
      problems.push_back({path, 0, "missing: every set holds this list"});
      continue;
    }
    std::vector<CsvError> errors;
    data->lists[i].entries = read_csv(byList[i]->text, list_info(i).kind, false, errors);
    for (CsvError& e : errors) problems.push_back({path, e.line, std::move(e.reason)});
  }
  if (problems.size() != before) return nullptr;

  // The table checks, each finding at the file and line of its row.
  build_cells(*data);
  std::set<std::tuple<std::string, int, std::string>> reported;
  for (const tables::TierFinding& f : tables::find_tier_faults(check_view(*data))) {
    int list = 0;
    while (list < kLists && f.list != list_info(list).setFile) ++list;
    const SetList& l = data->lists[list < kLists ? list : 0];
    const int line = f.row >= 1 && f.row <= l.rows() ? l.entries[f.row - 1].line : 0;
    const std::string path = path_of(where, f.list);
    if (!reported.emplace(path, line, f.what).second) continue;
    if (f.fault == tables::TierFault::kContents && allowDeviations) {
      data->deviations.push_back(problem_text({path, line, f.what}));
    } else {
      problems.push_back({path, line, f.what});
    }
  }
  std::string reason;
  if (!build_index(*data, reason)) problems.push_back({where, 0, reason});
  if (problems.size() != before) return nullptr;

  data->name = manifest.name;
  for (const auto& [list, row] : mark_placeholders(*data)) {
    const CsvEntry& e = data->lists[list].entries[row - 1];
    data->notes.push_back(
        problem_text({path_of(where, list_info(list).setFile), e.line,
                      "code " + e.code +
                          " is marked official but is no placeholder code: the mark changes "
                          "nothing and is dropped"}));
  }
  for (int i = 0; i < kLists; ++i) {
    const SetList& l = data->lists[i];
    for (int r = 1; r <= l.rows(); ++r) {
      if (!l.cleared[r]) continue;
      data->notes.push_back(
          problem_text({path_of(where, list_info(i).setFile), l.entries[r - 1].line,
                        "placeholder code " + l.entries[r - 1].code +
                            " marked official: its disclosure is cleared"}));
    }
  }
  // The digest covers the official marks, so the pin is checked after them.
  data->digest = canonical_digest(*data);
  if (!pin.empty() && data->digest != pin) {
    problems.push_back(
        {where, 0,
         "the set is not the one expected: its sha256 is " + data->digest + ", expected " + pin});
    return nullptr;
  }
  return data;
}

}  // namespace cmg290::tiersets
