// What a tier-table set holds, behind cmg290::TierSet: its seven lists (as
// entries and as cells shaped like the compiled-in columns, for the table
// checks and the explanation's row walk), which rows are placeholders, its
// identity, and the indexes its searches use.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checks/tier_validate.h"
#include "cmg290/tier_set.h"
#include "tables/table_versions.h"
#include "tiersets/set_csv.h"
#include "tiersets/set_index.h"

namespace cmg290::tiersets {

inline constexpr int kLists = tables::kTierListCount;

// List i (0 to kLists - 1, the order of TierSetList) of the catalogue.
inline const tables::TierListInfo& list_info(int i) {
  return tables::kTierLists[i];
}

// One list: its entries (rows 1 on) and the same as parallel columns of
// fixed-width cells, with a blank row 0, shaped like the compiled-in list.
struct SetList {
  std::vector<CsvEntry> entries;
  std::vector<char> placeholder;  // per row, 0 or 1; row 0 is 0
  std::vector<char> cleared;      // per row: a placeholder code marked official
  ListCells cells;
  tables::TierList view;  // over the cells above

  int rows() const { return static_cast<int>(entries.size()); }
};

struct SetData {
  std::string name;
  std::string digest;
  bool compiled = false;
  bool placeholders = false;  // some row is a placeholder
  std::vector<std::string> deviations;
  std::vector<std::string> notes;  // what loading passed over or noticed
  std::array<SetList, kLists> lists;
  SetIndex index;
};

// Fills in the cells and views of every list from its entries (the entries
// fit their cells: the CSV reader holds codes and RIC lists to the widths).
void build_cells(SetData& data);

// The table checks' view of the set: 2.82 and 2.90 share the pair and the
// secondary list.
tables::TierTables check_view(const SetData& data);

// Builds the search indexes. False with the reason when a list is larger
// than a search can hold (set_index.h).
bool build_index(SetData& data, std::string& reason);

// The SHA-256 of the canonical contents: every list in the order of
// TierSetList, its file name, a line end, and its CSV text (without the
// placeholder column) with each excluded-RIC list written as the RICs it
// names, in ascending order; then, only when some row's disclosure is
// cleared, "official" and a line "FILE,CODE" for each such row. A set
// clearing none has the digest it had before rows could be cleared.
std::string canonical_digest(const SetData& data);

// Whether each row of the compiled-in lists is a placeholder: the D entries
// that are not among the rows every version fixes (tier_expected.h).
bool generated_row(ListKind kind, const CsvEntry& e);

// What a row of list `list` (0 to kLists - 1) is: a placeholder when its
// code is the code of a placeholder row of the same compiled-in list,
// whatever its tier and excluded RICs, unless the row is marked official
// (then its disclosure is cleared); "official" on any other row is stray.
enum class RowMark { kNone, kPlaceholder, kCleared, kStray };
RowMark row_mark(int list, const CsvEntry& e);

// Sets the entry's mark to what the placeholder column says of such a row:
// "placeholder", "official", or nothing (a stray mark is dropped).
void set_mark(CsvEntry& e, RowMark mark);

// Marks the rows of every list by row_mark, sets data.placeholders and each
// entry's mark (set_mark). Returns the rows (list, row) whose mark was stray.
std::vector<std::pair<int, int>> mark_placeholders(SetData& data);

// The compiled-in lists as a set's data.
std::unique_ptr<SetData> make_compiled_data();

// The tier letter of a record with the set's lists (see tier_search.h), and
// the row that gave it: row 0 for the letter "A".
struct TierHit {
  char letter = 'A';
  TierSetList list = TierSetList::Single240;
  int row = 0;
};
TierHit set_tier_hit(const SetIndex& index, detail::TableVersion version, const char* ric,
                     const char* record);

}  // namespace cmg290::tiersets
