// The comorbidity tier search made by walking the stored tier table rows
// one by one, in row order, noting every row that bears on the letter.
#pragma once

#include "cmg290/explain.h"
#include "grouper/record_checks.h"
#include "grouper/record_intake.h"

namespace cmg290::explain_detail {

// The tier search of the version for the RIC and the trimmed comorbid code
// list; no search (letter 'A', no lists) when the version is None.
TierStep walk_tier_rows(detail::TableVersion version, const char* ric,
                        const detail::ComorbidCodeList& codes);

}  // namespace cmg290::explain_detail
