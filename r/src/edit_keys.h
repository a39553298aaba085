// The edits of a record as a small key, so that the grouping threads can
// note them without calling R: each edit's code in four bits, in order.
// R's thread turns the few distinct keys into strings afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"

namespace cmg290 {
class TierSet;
}

namespace cmg290::r {

// No edits.
inline constexpr std::uint64_t kNoEdits = 0;
// More edits than a key holds (sixteen): R's thread finds them again.
inline constexpr std::uint64_t kManyEdits = ~std::uint64_t{0};

// The edits of `record` given the result grouping it with `set` gave (null:
// the compiled-in lists).
void find_record_edits(std::string_view record, const cmg290::Result& result,
                       const cmg290::TierSet* set, cmg290::Edits& edits) noexcept;

std::uint64_t edit_key(const cmg290::Edits& edits) noexcept;

// The codes joined with ";" of a key other than kManyEdits, as
// write_edit_codes writes them; "" for kNoEdits.
std::string edit_key_text(std::uint64_t key);

// The codes joined with ";", as write_edit_codes writes them.
std::string edit_codes_text(const cmg290::Edits& edits);

}  // namespace cmg290::r
