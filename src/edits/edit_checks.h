// The checks behind cmg290::find_edits, each adding the edits it finds to
// the list: the fields (dates, items, bytes, impairment group) and the
// comorbid codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cmg290/edits.h"
#include "tables/table_versions.h"
#include "tiersets/set_index.h"

namespace cmg290::edits_detail {

// What every check reads: the record in full (kRecordLength characters,
// a short one filled with blanks), the result, the set's indexes, the
// table version of the result and which fields hold unreadable bytes.
struct EditContext {
  const char* record;
  const Result& result;
  const tiersets::SetIndex& index;
  detail::TableVersion version;
  std::uint64_t unreadable = 0;  // bit i: field i of kRecordLayout
};

// Appends an edit of the field (-1 for the record) with the field's text as
// its value; every other member empty. Null when the list is full, which
// the checks never let happen (at most two edits per field).
Edit* add_edit(Edits& edits, EditCode id, int field, const char* record);

void set_text(char* out, unsigned char& length, std::string_view text, std::size_t room);

// Bit i set: field i holds a byte outside printable ASCII.
std::uint64_t unreadable_fields(const char* record);

void check_unreadable(const EditContext& c, Edits& edits);
void check_dates(const EditContext& c, Edits& edits);
void check_impairment(const EditContext& c, Edits& edits);
void check_comorbid(const EditContext& c, Edits& edits);
void check_items(const EditContext& c, Edits& edits);
void check_cmg_row(const EditContext& c, Edits& edits);

// A date field as a calendar date: YYYYMMDD, a year from 0001; a birth date
// may leave its month or its day blank (read as June and the 15th).
bool calendar_date(const char* date, bool birth);

// The RIC number of the record's impairment group, 0 when not in the table.
int record_ric(const char* record);

}  // namespace cmg290::edits_detail
