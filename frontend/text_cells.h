// Texts as cells of the front ends' outputs: CSV cells (RFC 4180 quoting)
// and JSON strings. The JSON escaping is the library's own
// (cmg290::write_json_escaped), so every front end writes the same bytes.
#pragma once

#include <string>
#include <string_view>

namespace cmg290::frontend {

// True when a CSV cell of this text must be quoted: it holds a comma, a
// double quote or a line end.
bool csv_needs_quotes(std::string_view s);

// Writes the characters of s with every double quote doubled; `out` must
// have room for twice the size of s.
char* put_csv_escaped(char* out, std::string_view s);

// The text as one CSV cell, quoted when it must be. With `keepEndBlanks`, a
// text with blanks or tabs at either end is quoted too, for readers that
// trim unquoted cells.
std::string csv_cell(std::string_view s, bool keepEndBlanks = false);

// The text as a JSON string, quotes included.
std::string json_string(std::string_view s);

}  // namespace cmg290::frontend
