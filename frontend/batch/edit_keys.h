// The edits of a record as a small key, so that the grouping threads can
// note them without making any text: each edit's code in four bits, in
// order. The caller turns the few distinct keys into strings afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"

namespace cmg290 {
class TierSet;
}

namespace cmg290::batch {

using EditKey = std::uint64_t;

// No edits.
inline constexpr EditKey kNoEdits = 0;
// More edits than a key holds (sixteen): the caller finds them again on its
// own thread (find_record_edits).
inline constexpr EditKey kManyEdits = ~EditKey{0};

// The edits of `record` given the result grouping it with `set` gave (null:
// the compiled-in lists).
void find_record_edits(std::string_view record, const cmg290::Result& result,
                       const cmg290::TierSet* set, cmg290::Edits& edits) noexcept;

EditKey edit_key(const cmg290::Edits& edits) noexcept;

// The codes of a key other than kManyEdits joined with ";", as
// write_edit_codes writes them; "" for kNoEdits.
std::string edit_key_text(EditKey key);

// The codes joined with ";", as write_edit_codes writes them.
std::string edit_codes_text(const cmg290::Edits& edits);

}  // namespace cmg290::batch
