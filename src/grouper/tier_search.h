// Comorbidity tier search: the tier letter that precedes the CMG code.
#pragma once

#include "record_checks.h"
#include "record_intake.h"

namespace cmg290::detail {

// The tier letter ('A', 'B', 'C' or 'D') for the record's RIC and comorbid
// codes under the given table version; 'A' when nothing qualifies or no
// version applies.
char tier_letter(TableVersion version, const char* ric, const ComorbidCodeList& codes);

// tier_letter of the comorbid slots of a record that holds every position
// (see FullRecord), read in place: blank slots are skipped and each other
// slot is trimmed as it is read, so the grouping pass copies no slot.
char tier_letter_from_record(TableVersion version, const char* ric, const char* record);

}  // namespace cmg290::detail
