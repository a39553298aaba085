// The pieces of the tier table checks (tier_validate.h), shared between the
// files that hold them: texts and reporting, shapes and cells, cell formats,
// order and fixed rows, excluded-RIC list counts, differences between
// versions, and the pair and secondary lists.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "checks/tier_expected.h"
#include "checks/tier_validate.h"

namespace cmg290::tables::tier_check {

namespace ex = expected;

// ---------------------------------------------------------------------------
// Texts and reporting (tier_check_text.cpp)

// s in double quotes, bytes outside printable ASCII, '"' and '\' as "\xHH".
std::string quoted(std::string_view s);

std::string entry_text(std::string_view code, std::string_view tier, std::string_view rics);

// The text of a cell up to its terminator; the whole cell when it has none.
std::string_view text(const Column& c, int row);

// An excluded-RIC list written the one way the checks compare it: its RICs
// in ascending order, separated by "," in the lists of 2.40 to 2.60 and by
// ", " in the others, whose trailing blank is dropped; " " stays " ". The
// searches see only which RICs a list names, so "01, 02, 03 " and
// "03, 02, 01" both give "01, 02, 03". A text that is not such a list (a
// format fault, reported on its own) is returned as it is.
std::string ric_set(std::string_view rics, bool late);

// Both lists name the same RICs.
bool same_rics(std::string_view a, std::string_view b, bool late);

// An excluded-RIC list in a message: quoted, and "" for one naming no RIC
// (the lists hold it as " ").
std::string quoted_rics(std::string_view rics);

// The RIC (two digits) is one the grouper assigns: a RIC of the impairment
// table, 01 to 21.
bool assigned_ric(std::string_view ric);

// The RICs the documented lists exclude, for messages: "01, 02, ... and 15".
std::string documented_rics();

inline bool is_late(const TierList& l) {
  return l.kind != ListKind::kEarlySingle;
}

inline int entries(const TierList& l) {
  return l.code.rows - 1;
}

// Collects the findings; each is of the kind set last (structure at first).
class Report {
 public:
  explicit Report(std::vector<TierFinding>& out) : out_(out) {}

  void kind(TierFault fault) { fault_ = fault; }

  void list(const TierList& l, const std::string& what) {
    out_.push_back({fault_, l.name, -1, what, "list " + std::string(l.name) + ": " + what});
  }
  void row(const TierList& l, int r, const std::string& what) { row(fault_, l, r, what); }
  // A finding of the given kind, whatever kind is set.
  void row(TierFault fault, const TierList& l, int row, const std::string& what) {
    out_.push_back({fault, l.name, row, what,
                    "list " + std::string(l.name) + " row " + std::to_string(row) + ": " + what});
  }

 private:
  std::vector<TierFinding>& out_;
  TierFault fault_ = TierFault::kStructure;
};

// ---------------------------------------------------------------------------
// Shapes and cells (tier_check_cells.cpp)

struct Shape {
  int entries;
  int codeWidth;
  int tierWidth;
  int ricsWidth;
  std::string_view codeRow0;
  std::string_view ricsRow0;
};

// Rows and widths, terminators, zero padding and row 0 of every column.
// False when a column is missing or misshapen (its rows differ from the code
// column's, or its width from the compiled one), so that nothing else of the
// list can be checked safely. An entry count other than the documented one
// is a fault of the contents, reported on its own: the rest can be checked.
bool check_cells(Report& rep, const TierList& l, const Shape& s);

// ---------------------------------------------------------------------------
// Formats of the cells of rows 1 to N (tier_check_formats.cpp)

void check_formats(Report& rep, const TierList& l);

// ---------------------------------------------------------------------------
// Order, duplicates and fixed rows (tier_check_rows.cpp)

// Groups B, C, D in this order, ascending byte order of the code inside a
// group, no code twice.
void check_order(Report& rep, const TierList& l);

// Row `row` holds the entry; a row past the list's end is reported missing.
void expect_row(Report& rep, const TierList& l, int row, const ex::Entry& e);

// The fixed rows: the B and C groups (`leading`), the first three D entries
// and the last three. Each entry is found by its code: one missing, or held
// with another tier or other RICs, is reported once, as is a row added among
// them; rows they merely displace are not named.
void check_fixed_rows(Report& rep, const TierList& l, std::span<const ex::Entry> leading,
                      std::span<const ex::Entry> firstD, std::span<const ex::Entry> lastD);

void check_three_char_early(Report& rep, const TierList& l);
void check_three_char_late(Report& rep, const TierList& l);

// ---------------------------------------------------------------------------
// Excluded-RIC list counts (tier_check_rows.cpp)

struct RicCount {
  std::string_view rics;
  int count;
};

void check_ric_counts(Report& rep, const TierList& l, const std::vector<RicCount>& expectedCounts);

template <typename Row, typename Member>
std::vector<RicCount> counts_of(std::span<const Row> rows, Member member) {
  std::vector<RicCount> out;
  for (const Row& row : rows) {
    if (row.*member > 0) out.push_back({row.rics, row.*member});
  }
  return out;
}

// ---------------------------------------------------------------------------
// Differences between versions (tier_check_versions.cpp)

struct Change {
  std::string code;
  std::string tier;
  std::string rics;
};

std::vector<Change> changes(std::span<const ex::Entry> entries);

// `to` is `from` without `drops` and with `adds`; every shared code keeps its
// tier, the RICs its excluded-RIC list names and its order relative to the
// other shared codes.
void check_versions(Report& rep, const TierList& from, const TierList& to,
                    const std::vector<Change>& drops, const std::vector<Change>& adds);

// The diabetes codes that 2.90 splits: as 2.82 lists them (split false) or
// as 2.90 does (split true).
std::vector<Change> diabetes_codes(bool split);

// ---------------------------------------------------------------------------
// Pair and secondary lists (tier_check_pairs.cpp)

void check_pairs(Report& rep, const TierList& l);
void check_secondary(Report& rep, const TierList& l);

// The columns of `b` are byte for byte those of `a`.
void check_identical(Report& rep, const TierList& a, const TierList& b);

// No code of the pair or secondary list in the single-code list; every
// secondary code in the pair list.
void check_relations(Report& rep, const TierList& single, const TierList& pairs,
                     const TierList& secondary);

}  // namespace cmg290::tables::tier_check
