#include "text_cells.h"

#include "cmg290/result_json.h"

namespace cmg290::frontend {

namespace {

bool has_end_blanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return !s.empty() && (blank(s.front()) || blank(s.back()));
}

}  // namespace

bool csv_needs_quotes(std::string_view s) {
  return s.find_first_of(",\"\r\n") != std::string_view::npos;
}

char* put_csv_escaped(char* out, std::string_view s) {
  for (char c : s) {
    if (c == '"') *out++ = '"';
    *out++ = c;
  }
  return out;
}

std::string csv_cell(std::string_view s, bool keepEndBlanks) {
  if (!csv_needs_quotes(s) && !(keepEndBlanks && has_end_blanks(s))) return std::string(s);
  std::string cell(2 * s.size() + 2, '\0');
  char* p = cell.data();
  *p++ = '"';
  p = put_csv_escaped(p, s);
  *p++ = '"';
  cell.resize(static_cast<std::size_t>(p - cell.data()));
  return cell;
}

std::string json_string(std::string_view s) {
  std::string text(6 * s.size() + 2, '\0');
  char* p = text.data();
  *p++ = '"';
  p = cmg290::write_json_escaped(p, s);
  *p++ = '"';
  text.resize(static_cast<std::size_t>(p - text.data()));
  return text;
}

}  // namespace cmg290::frontend
