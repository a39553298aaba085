// Comorbidity tier lists as CSV, the form in which the official lists come
// (as spreadsheets): "code,tier,excluded_rics", and for pair lists
// "code_1,code_2,tier,excluded_rics"; one entry per line, RFC 4180 quoting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tier_lists.h"

namespace cmg290::cli::tier {

// The header line of a list of this kind, without its line end.
using tiersets::csv_header;

// A list as CSV: the header, then one line per entry in row order. An entry
// that excludes no RIC has an empty excluded_rics field. With `marks`, a
// single-code list has the placeholder column of a set's files.
using tiersets::write_csv;

// List `list` of a tier-table set (the index of its cmg290::TierSetList) as
// the set's file: with the placeholder column saying "placeholder" on the
// rows whose code is a placeholder code, and keeping "official" where it
// clears one.
std::string write_set_csv(const std::vector<Entry>& entries, ListKind kind, int list);

// A code as records hold it, from a code written with or without its dot
// and, in the ICD-10-CM lists, with or without the "^" filler: "47831" and
// "478.31" give "478.31", "042" gives "042.", "J3801" and "J38.01" give
// "J38.01^^". Returns false with the reason when the code is malformed or
// too long.
using tiersets::normalize_code;

// An excluded-RIC list as the lists hold it, from RICs of one or two digits
// separated by "," or ";" with any blanks around them: "1;2" and "01, 02"
// give "01,02" in the lists of 2.40 to 2.60 and "01, 02" in the others; an
// empty field gives " ". In the lists of 2.82 and 2.90 a list that ends in
// a blank keeps one, as some official lists have it. Returns false with the
// reason for an unknown RIC, a RIC named twice or a malformed list.
bool normalize_rics(std::string_view text, ListKind kind, std::string& rics, std::string& reason);

using RowError = tiersets::CsvError;

// Reads a list from CSV text: checks the header and every row, reporting
// every fault (a missing header, a wrong number of fields, an unknown tier,
// a malformed or over-long code, an unknown RIC, a duplicate entry); then
// puts the entries into the order of the list: B, then C, then D, each
// group in ascending byte order of the code, except the pair list, whose
// entries keep their order within each group. Blank lines (and lines of
// empty fields only) are skipped; a leading byte-order mark and CRLF line
// ends are accepted. The entries are meaningful only when `errors` is empty.
std::vector<Entry> read_csv(std::string_view text, ListKind kind, std::vector<RowError>& errors);

}  // namespace cmg290::cli::tier
