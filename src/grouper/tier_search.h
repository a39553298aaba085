// Comorbidity tier search: the tier letter that precedes the CMG code.
#pragma once

#include "checks_age.h"
#include "record_intake.h"

namespace cmg290::detail {

// The tier letter ('A', 'B', 'C' or 'D') for the record's RIC and comorbid
// codes under the given table version; 'A' when nothing qualifies or no
// version applies. The slots may be as extract_fields copies them or as
// build_comorbid_list trims them: each is read as its trimmed text, so the
// grouping pass need not write the trimmed list first.
char tier_letter(TableVersion version, const char* ric, const ComorbidCodeList& slots);

}  // namespace cmg290::detail
