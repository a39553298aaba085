// The shapes of comorbid codes: the form each table version's lists hold
// ("478.31", "042."; "J38.01^^", "G02.^^^^"), a code rewritten in that
// form, and whether a code is shaped like an ICD-9-CM or an ICD-10-CM code
// at all. Codes here are the texts the grouper compares: a cell without its
// blanks, up to its first zero byte.
#pragma once

#include <string_view>

#include "tables/table_versions.h"

namespace cmg290::edits_detail {

using detail::CodeFamily;

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool is_upper(char c) {
  return c >= 'A' && c <= 'Z';
}
constexpr char to_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr bool is_alnum(char c) {
  return is_digit(c) || is_upper(to_upper(c));
}

// The code as the lists of its family hold it: ICD-9-CM three digits or
// "V" and two digits, a dot, up to two digits; ICD-10-CM a capital and two
// digits, a dot, up to four digits or capitals, "^" to eight characters.
constexpr bool in_list_form(std::string_view s, CodeFamily family) {
  if (s.size() < 4 || s[3] != '.') return false;
  if (family == CodeFamily::Icd9) {
    if (!(is_digit(s[0]) || s[0] == 'V') || !is_digit(s[1]) || !is_digit(s[2])) return false;
    if (s.size() > 6) return false;
    for (std::size_t i = 4; i < s.size(); ++i) {
      if (!is_digit(s[i])) return false;
    }
    return true;
  }
  if (s.size() != 8 || !is_upper(s[0]) || !is_digit(s[1]) || !is_digit(s[2])) return false;
  std::size_t i = 4;
  while (i < 8 && (is_digit(s[i]) || is_upper(s[i]))) ++i;
  while (i < 8 && s[i] == '^') ++i;
  return i == 8;
}

// A code's characters without its trailing "^" filler and without a dot
// after its third character, in capitals: "j38.01^^" gives "J3801". Empty
// when anything else is in the way (another dot or "^", a character that is
// neither a digit nor a letter) or more than seven characters remain.
struct CodeCore {
  char text[8] = {};
  int length = 0;
  constexpr std::string_view view() const {
    return std::string_view(text, static_cast<std::size_t>(length));
  }
};

constexpr CodeCore code_core(std::string_view s) {
  while (!s.empty() && s.back() == '^') s.remove_suffix(1);
  CodeCore core;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i == 3 && s[i] == '.') continue;
    if (!is_alnum(s[i]) || core.length == 7) return CodeCore{};
    core.text[core.length++] = to_upper(s[i]);
  }
  return core;
}

// Shaped like an ICD-9-CM code: three digits, "V" and two digits, or "E"
// and three digits, then up to two digits (one after an "E" code), with or
// without the dot in between and a trailing "^" filler, in any case.
constexpr bool icd9_shaped(std::string_view s) {
  while (!s.empty() && s.back() == '^') s.remove_suffix(1);
  if (s.empty()) return false;
  const char first = to_upper(s[0]);
  const std::size_t head = first == 'E' ? 4 : 3;
  if (s.size() < head || !(is_digit(first) || first == 'V' || first == 'E')) return false;
  for (std::size_t i = 1; i < head; ++i) {
    if (!is_digit(s[i])) return false;
  }
  std::string_view rest = s.substr(head);
  if (!rest.empty() && rest[0] == '.') rest.remove_prefix(1);
  if (rest.size() > (first == 'E' ? 1U : 2U)) return false;
  for (char c : rest) {
    if (!is_digit(c)) return false;
  }
  return true;
}

// Shaped like an ICD-10-CM code: a letter, a digit, a digit or letter, then
// up to four digits or letters, with or without the dot after the third
// character and a trailing "^" filler, in any case.
constexpr bool icd10_shaped(std::string_view s) {
  const CodeCore core = code_core(s);
  if (core.length < 3) return false;
  return is_upper(core.text[0]) && is_digit(core.text[1]);
}

// The code written in the form the lists of the family hold, into `out`
// (nine bytes, terminated); its length, or 0 when the code cannot be
// written so.
constexpr int list_form(std::string_view s, CodeFamily family, char (&out)[9]) {
  const CodeCore core = code_core(s);
  const std::string_view c = core.view();
  if (c.size() < 3) return 0;
  if (family == CodeFamily::Icd9) {
    if (c.size() > 5 || !(is_digit(c[0]) || c[0] == 'V')) return 0;
  } else if (!is_upper(c[0])) {
    return 0;
  }
  int n = 0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (i == 3) out[n++] = '.';
    out[n++] = c[i];
  }
  if (c.size() == 3) out[n++] = '.';
  if (family == CodeFamily::Icd10) {
    while (n < 8) out[n++] = '^';
  }
  out[n] = '\0';
  return in_list_form(std::string_view(out, static_cast<std::size_t>(n)), family) ? n : 0;
}

}  // namespace cmg290::edits_detail
