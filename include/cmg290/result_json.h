// One grouping result as JSON members, written the same way by every front
// end: the command's JSON Lines, and the "result" member of an explanation.
// Nothing is allocated; the caller provides the room.
#pragma once

#include <cstddef>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/export.h"

namespace cmg290 {

// Writes the bytes as the inside of a JSON string (no quotes around them)
// and returns the end of what was written: at most 6 bytes per byte. A
// quote, a backslash, the control bytes and DEL are escaped (\n, \r, \t or
// \u0000 to \u001f, \u007f); bytes 0x80 to 0xff become \u0080 to \u00ff, so
// any bytes give valid JSON and reading the text as Latin-1 gives them back.
CMG290_API char* write_json_escaped(char* out, std::string_view bytes) noexcept;

// Most bytes write_result_json writes, besides 6 per byte of the description.
inline constexpr std::size_t kResultJsonMaxFixed = 200;

// Writes the result's members, without braces:
//   "status":0,"description":"grouped","cmg":"B0101","motor_score":60.0,
//   "cognitive_score":20,"age":70,"table_version":"2.40","grouper_version":"2.90"
// Only what the grouping reached holds a value, the rest is null: cmg and
// the scores only for status 0, the age for status 0, 7 and 9, the table
// version when the version date selects one. The motor score is a JSON
// number (".7" is written 0.7). Returns the end of what was written.
CMG290_API char* write_result_json(char* out, const Result& result,
                                   std::string_view description) noexcept;

}  // namespace cmg290
