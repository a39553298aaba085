// The comorbidity tier lists as the `tables export` and `tables import`
// commands see them: which data file holds the list of a table version, the
// entries of a list, and the two ways between entries and data files (the
// .def text the build includes, and columns shaped like the compiled ones
// for the table checks).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "checks/tier_validate.h"
#include "tiersets/set_csv.h"

namespace cmg290::cli::tier {

using tiersets::next_line;

using tables::ListKind;

// One entry; code2 only in pair lists. Texts as the data files hold them.
struct Entry {
  std::string code;
  std::string code2;
  std::string tier;
  std::string rics;  // " " when no RIC is excluded
  int line = 0;      // its line in the file it was read from; 0 when not read
  std::string mark;  // a set's placeholder column: "", "placeholder" or "official"
};

// One data file of src/tables/tier/ and the compiled lists built from it.
struct ListFile {
  const char* fileName;  // "icd290s1.def"
  ListKind kind;
  const char* versions;  // "2.90", "2.82 and 2.90"
  // The lists of tables::TierTables built from this file.
  std::vector<tables::TierList tables::TierTables::*> lists;
};

// The file that holds `list` ("single", "pair" or "secondary") of table
// version `version` ("2.40" ... "2.90"). On a bad choice, returns null and
// sets `error`.
const ListFile* find_list(std::string_view version, std::string_view list, std::string& error);

// Every data file, in a fixed order.
const std::vector<ListFile>& all_list_files();

// The entries (rows 1 on) of a list held in columns.
std::vector<Entry> entries_of(const tables::TierList& list);

// Separator of the RICs in an excluded-RIC list of this kind: "," in the
// lists of 2.40 to 2.60, ", " in the others.
std::string_view ric_separator(ListKind kind);

// The .def text of a list: `comment` (lines without the "// " that the
// function puts in front) and one ROW or PAIR line per entry.
std::string render_def(const std::vector<Entry>& entries, ListKind kind,
                       const std::vector<std::string>& comment);

// Reads the entry lines of a .def text (comment lines and blank lines are
// skipped). Returns false, with the line number and reason in `error`, when
// a line is neither.
bool read_def(std::string_view text, ListKind kind, std::vector<Entry>& entries,
              std::string& error);

// A list built from entries, owning its cells, shaped like `shape` (the
// compiled list it stands in for: same names and cell widths, a blank row
// 0). Cell texts longer than their width are cut; the caller checks widths.
class OwnedList {
 public:
  OwnedList(const tables::TierList& shape, const std::vector<Entry>& entries);
  OwnedList(const OwnedList&) = delete;
  OwnedList& operator=(const OwnedList&) = delete;

  const tables::TierList& view() const { return view_; }

 private:
  tables::TierList view_;
  std::vector<char> code_, code2_, tier_, rics_, eflag_;
};

// The widest code and excluded-RIC text that a list of this kind can hold.
std::size_t code_width(ListKind kind);
std::size_t rics_width(ListKind kind);

}  // namespace cmg290::cli::tier
