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

using tiersets::entries_of;
using tiersets::next_line;
using tiersets::ric_separator;

using tables::ListKind;

// One entry; code2 only in pair lists. Texts as the data files hold them.
using Entry = tiersets::CsvEntry;

// One data file of src/tables/tier/ (a list of tier_lists.def) and the
// compiled lists built from it.
struct ListFile {
  const char* fileName;  // "icd290s1.def"
  ListKind kind;
  std::string versions;  // "2.90", "2.82 and 2.90"
  TierSetList list;
  // The lists of tables::TierTables built from this file.
  std::vector<tables::TierList tables::TierTables::*> lists;
};

// The file that holds `list` ("single", "pair" or "secondary") of table
// version `version` ("2.40" ... "2.90"). On a bad choice, returns null and
// sets `error`.
const ListFile* find_list(std::string_view version, std::string_view list, std::string& error);

// Every data file, in the order of TierSetList.
const std::vector<ListFile>& all_list_files();

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
  OwnedList(const tables::TierList& shape, const std::vector<Entry>& entries)
      : view_(tiersets::fill_cells(cells_, shape, entries)) {}
  OwnedList(const OwnedList&) = delete;
  OwnedList& operator=(const OwnedList&) = delete;

  const tables::TierList& view() const { return view_; }

 private:
  tiersets::ListCells cells_;
  tables::TierList view_;
};

// The widest excluded-RIC text that a list of this kind can hold.
std::size_t rics_width(ListKind kind);

}  // namespace cmg290::cli::tier
