// The command's tier lists as CSV: the library's reader and writer of the
// lists of a tier-table set, with the excluded-RIC texts bounded by what the
// documented lists hold.
#include "tier_csv.h"

#include "tiersets/set_csv.h"
#include "tiersets/set_data.h"

namespace cmg290::cli::tier {

bool normalize_rics(std::string_view text, ListKind kind, std::string& rics, std::string& reason) {
  return tiersets::normalize_rics(text, kind, rics, reason, rics_width(kind));
}

std::string write_set_csv(const std::vector<Entry>& entries, ListKind kind, int list) {
  std::vector<Entry> rows = entries;
  for (Entry& e : rows) tiersets::set_mark(e, tiersets::row_mark(list, e));
  return tiersets::write_csv(rows, kind, true);
}

std::vector<Entry> read_csv(std::string_view text, ListKind kind, std::vector<RowError>& errors) {
  return tiersets::read_csv(text, kind, true, errors, rics_width(kind));
}

}  // namespace cmg290::cli::tier
