// The command's tier lists as CSV: the library's reader and writer of the
// lists of a tier-table set, over the command's entries, with the excluded-
// RIC texts bounded by the widths of the compiled-in columns.
#include "tier_csv.h"

#include "tiersets/set_csv.h"
#include "tiersets/set_data.h"

namespace cmg290::cli::tier {

std::string_view csv_header(ListKind kind) {
  return tiersets::csv_header(kind);
}

bool normalize_code(std::string_view text, ListKind kind, std::string& code, std::string& reason) {
  return tiersets::normalize_code(text, kind, code, reason);
}

bool normalize_rics(std::string_view text, ListKind kind, std::string& rics, std::string& reason) {
  return tiersets::normalize_rics(text, kind, rics, reason, rics_width(kind));
}

std::string write_csv(const std::vector<Entry>& entries, ListKind kind, bool marks) {
  std::vector<tiersets::CsvEntry> rows;
  rows.reserve(entries.size());
  for (const Entry& e : entries) rows.push_back({e.code, e.code2, e.tier, e.rics, 0, e.mark});
  return tiersets::write_csv(rows, kind, marks);
}

std::string write_set_csv(const std::vector<Entry>& entries, ListKind kind, int list) {
  std::vector<tiersets::CsvEntry> rows;
  rows.reserve(entries.size());
  for (const Entry& e : entries) {
    rows.push_back({e.code, e.code2, e.tier, e.rics, 0, e.mark});
    tiersets::set_mark(rows.back(), tiersets::row_mark(list, rows.back()));
  }
  return tiersets::write_csv(rows, kind, true);
}

std::vector<Entry> read_csv(std::string_view text, ListKind kind, std::vector<RowError>& errors) {
  std::vector<tiersets::CsvError> faults;
  const std::vector<tiersets::CsvEntry> rows =
      tiersets::read_csv(text, kind, true, faults, rics_width(kind));
  for (tiersets::CsvError& f : faults) errors.push_back({f.line, std::move(f.reason)});
  std::vector<Entry> entries;
  entries.reserve(rows.size());
  for (const tiersets::CsvEntry& r : rows)
    entries.push_back({r.code, r.code2, r.tier, r.rics, r.line, r.mark});
  return entries;
}

}  // namespace cmg290::cli::tier
