// Table version choice, record checks and age.
#pragma once

#include <cstdint>

#include "cmg290/status.h"
#include "grouper/record_intake.h"
#include "tables/table_versions.h"

namespace cmg290::detail {

// The version whose date range holds the version-date value, or None (below
// 20100701 and in the five gaps between the ranges).
TableVersion choose_version(std::int64_t versionDate);

// "2.40" ... "2.90"; four blanks for None.
const char* version_label(TableVersion version);

// Checks 1, 2, 3, 5 and 6 in order; returns the first failing status or
// Status::Grouped. On passing, fields.birthDate carries its month and day
// defaults.
Status check_record(Fields& fields, std::int64_t versionDate);

// Age in whole years at the age date (birth date with its defaults).
int compute_age(const Fields& fields);

inline constexpr int kMaxAge = 140;

}  // namespace cmg290::detail
