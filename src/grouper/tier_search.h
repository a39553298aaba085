// Comorbidity tier search: the tier letter that precedes the CMG code.
#pragma once

#include "checks_age.h"
#include "record_intake.h"

namespace cmg290::detail {

// The tier letter ('A', 'B', 'C' or 'D') for the record's RIC and comorbid
// codes under the given table version; 'A' when nothing qualifies or no
// version applies.
char tier_letter(TableVersion version, const char* ric, const ComorbidCodeList& codes);

// tier_letter of the slots as extract_fields copies them, before
// build_comorbid_list: each slot is trimmed as it is read, which spares the
// grouping pass writing the trimmed list first.
char tier_letter_from_slots(TableVersion version, const char* ric, const ComorbidCodeList& slots);

}  // namespace cmg290::detail
