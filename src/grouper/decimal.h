// Decimal text-to-number conversion in the manner of atoi/atol, without the
// locale and without undefined behaviour on overflow: leading white space is
// skipped, one optional sign is taken, then digits up to the first other
// character; no digits give 0. Values saturate instead of overflowing (the
// grouper only converts fields of at most eight characters, which never
// reach the limits).
#pragma once

#include <cstdint>
#include <limits>

namespace cmg290::detail {

// White space of the C locale: blank, \t, \n, \v, \f and \r.
constexpr bool is_c_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr std::int64_t to_long(const char* text) {
  while (is_c_space(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value < kLimit) value = value * 10 + (*text - '0');
  }
  return negative ? -value : value;
}

constexpr int to_int(const char* text) {
  const std::int64_t v = to_long(text);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

}  // namespace cmg290::detail
