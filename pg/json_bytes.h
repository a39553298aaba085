// JSON texts for a SQL_ASCII database, where the server cannot turn the
// escapes \u0080 to \u00ff into characters.
#pragma once

namespace cmg290::pg {

// Rewrites, in place, each escape \u0080 to \u00ff of a terminated JSON text
// (as write_json_escaped writes the bytes above 127) into the byte it
// stands for; every other escape, an escaped backslash among them, stays.
// The text only gets shorter.
void unescape_high_bytes(char* json) noexcept;

}  // namespace cmg290::pg
