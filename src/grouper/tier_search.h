// Comorbidity tier search: the tier letter that precedes the CMG code.
#pragma once

#include "grouper/record_checks.h"
#include "grouper/record_intake.h"

namespace cmg290::detail {

// The tier letter ('A', 'B', 'C' or 'D') for the RIC and the comorbid codes
// of a record that holds every position (see FullRecord) under the given
// table version; 'A' when nothing qualifies or no version applies. The
// slots are read in place: blank slots are skipped and each other slot is
// trimmed as it is read, so the grouping pass copies no slot.
char tier_letter_from_record(TableVersion version, const char* ric, const char* record);

}  // namespace cmg290::detail
