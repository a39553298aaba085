// Texts of cells and entries in the messages of the tier table checks.
#include <cstdio>
#include <cstring>

#include "tier_check.h"

namespace cmg290::tables::tier_check {

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += ch;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

std::string entry_text(std::string_view code, std::string_view tier, std::string_view rics) {
  return quoted(code) + " " + quoted(tier) + " " + quoted(rics);
}

std::string_view text(const Column& c, int row) {
  const char* p = c.cell(row);
  const void* end = std::memchr(p, '\0', static_cast<std::size_t>(c.width));
  const auto length = end ? static_cast<const char*>(end) - p : c.width;
  return {p, static_cast<std::size_t>(length)};
}

}  // namespace cmg290::tables::tier_check
