// The comorbidity tier search made by walking the stored tier table rows
// one by one, in row order, noting every row that bears on the letter.
#pragma once

#include "checks/tier_validate.h"
#include "cmg290/explain.h"
#include "grouper/record_checks.h"
#include "grouper/record_intake.h"

namespace cmg290::explain_detail {

// The lists a walk goes through under one table version: the single-code
// list, and for 2.82 and 2.90 also the pair and secondary lists (pairsName
// null for the others), each with the name the explanation gives it.
struct WalkLists {
  const char* singleName = nullptr;
  tables::TierList single;
  const char* pairsName = nullptr;
  tables::TierList pairs;
  const char* secondaryName = nullptr;
  tables::TierList secondary;
};

// The compiled-in lists of the version, named by their exported columns.
WalkLists compiled_walk_lists(detail::TableVersion version);

// The tier search of the version for the RIC and the trimmed comorbid code
// list; no search (letter 'A', no lists) when the version is None. Over the
// compiled-in lists, or over the given ones (those of a loaded set).
TierStep walk_tier_rows(detail::TableVersion version, const char* ric,
                        const detail::ComorbidCodeList& codes);
TierStep walk_tier_rows(detail::TableVersion version, const char* ric,
                        const detail::ComorbidCodeList& codes, const WalkLists& lists);

}  // namespace cmg290::explain_detail
