// Comorbid code lists as the grouping pass meets them: written into the
// slots of a record, then read back as the pass reads them. The explanation's
// row-by-row walk over the list read back is the reference for the pass's
// indexed search over the record.
#pragma once

#include <algorithm>
#include <string>

#include "cmg290/cmg290.h"
#include "explain/tier_walk.h"
#include "grouper/record_intake.h"
#include "grouper/tier_search.h"

namespace cmg290::test {

// A record of blanks whose comorbid slots hold the cells' texts, each up to
// its terminator and filled out with blanks (`blankPadded`), or all eight
// bytes as they are, zero bytes included.
inline std::string record_of_cells(const detail::ComorbidCodeList& list, bool blankPadded = true) {
  std::string record(kRecordLength, ' ');
  for (int k = 0; k < detail::kComorbidSlots; ++k) {
    const char* cell = list.cell[k];
    const auto n = blankPadded ? std::find(cell, cell + 8, '\0') - cell : 8;
    record.replace(static_cast<std::size_t>(detail::kComorbidStart[k] - 1),
                   static_cast<std::size_t>(n), cell, static_cast<std::size_t>(n));
  }
  return record;
}

// The code list the pass builds from a record's slots.
inline detail::ComorbidCodeList list_of_record(const std::string& record) {
  detail::ComorbidCodeList list;
  detail::extract_comorbid_slots(record.data(), record.size(), list);
  detail::build_comorbid_list(list);
  return list;
}

// The letter of the explanation's walk over the list the pass reads from the
// record.
inline char walked_letter(detail::TableVersion version, const char* ric,
                          const std::string& record) {
  return explain_detail::walk_tier_rows(version, ric, list_of_record(record)).letter;
}

// The letter of the pass's own search.
inline char searched_letter(detail::TableVersion version, const char* ric,
                            const std::string& record) {
  return detail::tier_letter_from_record(version, ric, record.data());
}

}  // namespace cmg290::test
