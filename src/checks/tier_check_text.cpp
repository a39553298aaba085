// Texts of cells and entries in the messages of the tier table checks.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "checks/tier_check.h"
#include "cmg290/tables.h"

namespace cmg290::tables::tier_check {

std::string quoted(std::string_view s) {
  // A message quotes the head of a long text, and says how long it is.
  constexpr std::size_t kShown = 60;
  const std::size_t total = s.size();
  if (total > kShown) s = s.substr(0, kShown);
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
  if (total > kShown) return out + "...\" (" + std::to_string(total) + " bytes)";
  return out + "\"";
}

std::string entry_text(std::string_view code, std::string_view tier, std::string_view rics) {
  return quoted(code) + " " + quoted(tier) + " " + quoted_rics(rics);
}

std::string_view text(const Column& c, int row) {
  const char* p = c.cell(row);
  const void* end = std::memchr(p, '\0', static_cast<std::size_t>(c.width));
  const auto length = end ? static_cast<const char*>(end) - p : c.width;
  return {p, static_cast<std::size_t>(length)};
}

std::string ric_set(std::string_view rics, bool late) {
  if (rics == " ") return std::string(rics);
  std::vector<std::string_view> names;
  std::string_view rest = rics;
  if (late && rest.ends_with(' ')) rest.remove_suffix(1);
  const std::string_view separator = late ? ", " : ",";
  for (;;) {
    const std::size_t end = std::min(rest.find(separator), rest.size());
    const std::string_view name = rest.substr(0, end);
    if (name.size() != 2 || std::ranges::find(names, name) != names.end()) {
      return std::string(rics);
    }
    names.push_back(name);
    if (end == rest.size()) break;
    rest.remove_prefix(end + separator.size());
  }
  std::ranges::sort(names);
  std::string out;
  for (const std::string_view n : names) {
    if (!out.empty()) out += separator;
    out += n;
  }
  return out;
}

bool same_rics(std::string_view a, std::string_view b, bool late) {
  return ric_set(a, late) == ric_set(b, late);
}

std::string quoted_rics(std::string_view rics) {
  while (!rics.empty() && rics.back() == ' ') rics.remove_suffix(1);
  return quoted(rics);
}

bool assigned_ric(std::string_view ric) {
  for (int r = 1; r < kImpairmentRows; ++r) {
    if (ric == Ric240[r]) return true;
  }
  return false;
}

std::string documented_rics() {
  std::string out;
  for (std::size_t i = 0; i < ex::kRics.size(); ++i) {
    if (i > 0) out += i + 1 == ex::kRics.size() ? " and " : ", ";
    out += ex::kRics[i];
  }
  return out;
}

}  // namespace cmg290::tables::tier_check
