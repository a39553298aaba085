// Structural checks of the comorbidity tier tables: shapes, cell texts, code
// and excluded-RIC formats, grouping and order, the fixed rows, the entry
// counts of every excluded-RIC list, the differences between table versions
// and the relations between the single-code, pair and secondary lists.
//
// The checks run over views of the columns, so that they can be applied to
// the compiled tables (compiled_tier_tables) or to any copy of them. They
// allocate and are not part of the grouper library.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tables/tier_catalogue.h"

namespace cmg290::tables {

// One column: `rows` cells of `width` bytes each, stored row after row.
struct Column {
  const char* name = nullptr;  // e.g. "CmdICD240"
  const char* cells = nullptr;
  int rows = 0;
  int width = 0;

  bool present() const { return cells != nullptr; }
  const char* cell(int row) const { return cells + static_cast<std::ptrdiff_t>(row) * width; }
};

template <std::size_t Rows, std::size_t Width>
constexpr Column column(const char* name, const char (&cells)[Rows][Width]) {
  return {name, &cells[0][0], static_cast<int>(Rows), static_cast<int>(Width)};
}

// One list: parallel columns sharing row numbers.
struct TierList {
  const char* name = nullptr;  // "240", "281s1", "290c", "281s2", ...
  ListKind kind = ListKind::kEarlySingle;
  Column code;   // the code; the first code of a pair
  Column code2;  // the second code of a pair (pair lists only)
  Column tier;
  Column rics;
  Column eflag;  // secondary lists only
};

struct TierTables {
  TierList list240, list250, list260;
  TierList list282s1, list290s1;
  TierList list282c, list290c;
  TierList list282s2, list290s2;
};

// Views of the tables compiled into the grouper.
TierTables compiled_tier_tables();

// The columns of `list` (tier_lists.def) that table version `version`
// reads: the pair and secondary lists have columns per version. A version
// the list does not serve gets its first columns.
const TierList& compiled_list(const TierTables& tables, TierSetList list,
                              detail::TableVersion version);

// Every set of columns of `list` in TierTables, in the order of the versions.
std::vector<TierList TierTables::*> compiled_sets(TierSetList list);

// What a violation breaks: the structure that the tier searches rely on
// (shapes, cell formats, B/C/D grouping and order, duplicates, the relations
// between the single-code, pair and secondary lists), or the documented
// contents of the lists (entry counts, the fixed rows, the differences
// between versions, the excluded-RIC list counts, the pair and secondary
// entries).
enum class TierFault { kStructure, kContents };

struct TierFinding {
  TierFault fault = TierFault::kStructure;
  std::string list;  // "240", "281c", ...
  int row = -1;      // -1 for a fault of the whole list
  std::string what;
  std::string text;  // "list NAME row N: what" or "list NAME: what"
};

// Every violation found, in the order check_tier_tables reports them.
std::vector<TierFinding> find_tier_faults(const TierTables& tables);

// Every violation found, one text each: "list NAME row N: what" for a fault
// of one row, "list NAME: what" for a fault of a whole list. Empty when the
// tables are sound.
std::vector<std::string> check_tier_tables(const TierTables& tables);

}  // namespace cmg290::tables
