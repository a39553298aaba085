// Comorbidity tier lists as CSV, the form in which official lists come (as
// spreadsheets) and in which a tier-table set holds them:
// "code,tier,excluded_rics", and for pair lists
// "code_1,code_2,tier,excluded_rics"; one entry per line, RFC 4180 quoting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "checks/tier_validate.h"

namespace cmg290::tiersets {

using tables::ListKind;

// One entry; code2 only in pair lists. Texts as the lists hold them: codes
// as records hold them, " " when no RIC is excluded.
struct CsvEntry {
  std::string code;
  std::string code2;
  std::string tier;
  std::string rics;
  int line = 0;  // where it was read; 0 when not read from a file
  // The placeholder column of a single-code list: empty, kPlaceholderMark
  // or kOfficialMark, lower case whatever case the file used.
  std::string mark;
};

// A list held in parallel columns of fixed-width cells, as the table checks
// and the explanation's row walk read it: the cells, and the view of them.
struct ListCells {
  std::vector<char> code, code2, tier, rics, eflag;
};

// Fills `cells` with the entries in cells shaped like `shape` (the compiled
// list the entries stand in for: its cell widths and row 0), every Eflag of
// rows 1 on "0", and returns the view of them, with the shape's names. Texts
// longer than their cells are cut; the caller checks widths. The view is
// valid while `cells` is unchanged.
tables::TierList fill_cells(ListCells& cells, const tables::TierList& shape,
                            const std::vector<CsvEntry>& entries);

// The entries (rows 1 on) of a list held in columns.
std::vector<CsvEntry> entries_of(const tables::TierList& list);

// The words of the placeholder column (single-code lists): the exporter
// writes "placeholder" on the rows whose code is a placeholder code; a
// maintainer writes "official" on such a row to clear its disclosure.
inline constexpr std::string_view kPlaceholderMark = "placeholder";
inline constexpr std::string_view kOfficialMark = "official";

// Whether lists of this kind have the placeholder column: the single-code
// lists of every version.
bool has_marks(ListKind kind);

struct CsvError {
  int line;  // 1 is the first line of the text
  std::string reason;
};

// Longest code and excluded-RIC text of a list of this kind.
std::size_t max_code_chars(ListKind kind);
std::size_t max_rics_chars(ListKind kind);

// Separator of the RICs in an excluded-RIC list: "," in the lists of 2.40 to
// 2.60, ", " in the others.
std::string_view ric_separator(ListKind kind);

// Takes the next line off the front of `text` into `line`, without its LF
// or CRLF; false when the text is used up. A last line without a line end
// counts.
bool next_line(std::string_view& text, std::string_view& line);

// The header line of a list of this kind, without its line end; with
// `marks`, the single-code lists' header with the placeholder column:
// "code,tier,excluded_rics,placeholder".
std::string_view csv_header(ListKind kind, bool marks = false);

// A code as records hold it, from a code written with or without its dot
// and, in the ICD-10-CM lists, with or without the "^" filler: "47831" and
// "478.31" give "478.31", "042" gives "042.", "J3801" and "J38.01" give
// "J38.01^^". False with the reason when the code is malformed or too long.
bool normalize_code(std::string_view text, ListKind kind, std::string& code, std::string& reason);

// An excluded-RIC list as the lists hold it, from RICs of one or two digits
// separated by "," or ";" with any blanks around them: "1;2" and "01, 02"
// give "01,02" in the lists of 2.40 to 2.60 and "01, 02" in the others; an
// empty field gives " ". In the lists of 2.82 and 2.90 a list that ends in
// a blank keeps one. Any RIC the grouper assigns (01 to 21) is read; the
// table checks report one that the documented lists never exclude as a
// deviation. False with the reason for a RIC the grouper never assigns, a
// RIC named twice, a malformed list, or one longer than `maxChars` (0:
// max_rics_chars).
bool normalize_rics(std::string_view text, ListKind kind, std::string& rics, std::string& reason,
                    std::size_t maxChars = 0);

// A list as CSV: the header, then one line per entry in row order; an entry
// that excludes no RIC has an empty excluded_rics field. With `marks`, a
// single-code list has the placeholder column, each row's `mark` in it.
std::string write_csv(const std::vector<CsvEntry>& entries, ListKind kind, bool marks = false);

// Reads a list from CSV text: checks the header and every row, reporting
// every fault (a missing or wrong header, a wrong number of fields, an
// unknown tier, a malformed or over-long code, an unknown RIC, a duplicate
// entry, a zero byte, an unknown word in the placeholder column). A
// single-code list may have the placeholder column (header
// "code,tier,excluded_rics,placeholder"; a row may then leave the column
// out). A text whose first line is separated by ";" or tabs instead of
// commas gives one fault, on that line, saying so, and no other. With `sort`, then puts the entries
// into the order of the list: B, then C, then D, each group in ascending byte order of the code,
// except the pair list, whose entries keep their order within each group; without, they stay in the
// order of the text. Blank lines (and lines of empty fields only) are skipped; a leading byte-order
// mark and CRLF line ends are accepted. The entries are meaningful only when `errors` is empty.
// `maxRicsChars` bounds the excluded-RIC texts as in normalize_rics.
std::vector<CsvEntry> read_csv(std::string_view text, ListKind kind, bool sort,
                               std::vector<CsvError>& errors, std::size_t maxRicsChars = 0);

}  // namespace cmg290::tiersets
