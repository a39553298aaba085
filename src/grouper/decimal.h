// Decimal text-to-number conversion in the manner of atoi/atol, without the
// locale and without undefined behaviour on overflow: leading white space is
// skipped, one optional sign is taken, then digits up to the first other
// character; no digits give 0. Values saturate instead of overflowing (the
// grouper only converts fields of at most eight characters, which never
// reach the limits).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace cmg290::detail {

// White space of the C locale: blank, \t, \n, \v, \f and \r.
constexpr bool is_c_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Converts at most the first n characters of text (fewer when a zero byte
// comes first), as if they were copied out and terminated.
constexpr std::int64_t to_long_n(const char* text, int n) {
  int i = 0;
  while (i < n && is_c_space(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

constexpr std::int64_t to_long(const char* text) {
  return to_long_n(text, std::numeric_limits<int>::max());
}

constexpr int to_int(const char* text) {
  const std::int64_t v = to_long(text);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// True when all eight bytes of the word are decimal digits.
constexpr bool eight_digits(std::uint64_t word) {
  constexpr std::uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ULL;
  constexpr std::uint64_t kThrees = 0x3030303030303030ULL;
  constexpr std::uint64_t kSixes = 0x0606060606060606ULL;
  // '0'..'9' are 0x30..0x39: high nibble 3, and still 3 after adding 6.
  return (word & kHighNibbles) == kThrees && ((word + kSixes) & kHighNibbles) == kThrees;
}

// to_long of an eight-character date field; a field of eight digits, the
// usual case, is converted without the general loop.
inline std::int64_t date_value(const char (&date)[9]) {
  std::uint64_t word;
  std::memcpy(&word, date, sizeof word);
  if (!eight_digits(word)) return to_long_n(date, 8);
  if constexpr (std::endian::native != std::endian::little) return to_long_n(date, 8);
  // Eight digits, the first in the lowest byte: pairs, then fours, then the
  // whole, each step one multiply.
  word -= 0x3030303030303030ULL;
  word = (word * 10 + (word >> 8)) & 0x00FF00FF00FF00FFULL;
  word = (word * 100 + (word >> 16)) & 0x0000FFFF0000FFFFULL;
  word = (word * 10000 + (word >> 32)) & 0xFFFFFFFFULL;
  return static_cast<std::int64_t>(word);
}

// to_int for a text of two characters and its terminator, such as a motor
// or cognitive item, without the loops.
constexpr int item_value(const char (&item)[3]) {
  const char a = item[0], b = item[1];
  if (is_digit(a)) return is_digit(b) ? (a - '0') * 10 + (b - '0') : a - '0';
  if (a == '-') return is_digit(b) ? -(b - '0') : 0;
  if (a == '+') return is_digit(b) ? b - '0' : 0;
  if (is_c_space(a)) return is_digit(b) ? b - '0' : 0;
  return 0;
}

// item_value of every text of two characters, worked out by the compiler,
// so that an item on the per-record path costs one lookup whatever its text.
// Row a holds the texts that begin with the character a; a first character
// other than a digit, a sign or white space gives 0 whatever follows, so
// those rows stay zero.
using ItemRow = std::array<std::int8_t, 256>;

constexpr ItemRow item_row(char first) {
  ItemRow row{};
  for (int b = 0; b < 256; ++b) {
    const char item[3] = {first, static_cast<char>(b), '\0'};
    row[b] = static_cast<std::int8_t>(item_value(item));  // -9 to 99
  }
  return row;
}

inline constexpr auto kItemValues = [] {
  std::array<ItemRow, 256> rows{};
  for (int a = 0; a < 256; ++a) {
    const char first = static_cast<char>(a);
    if (is_digit(first) || first == '-' || first == '+' || is_c_space(first)) {
      rows[a] = item_row(first);
    }
  }
  return rows;
}();

inline int item_value_fast(const char (&item)[3]) {
  return kItemValues[static_cast<unsigned char>(item[0])][static_cast<unsigned char>(item[1])];
}

}  // namespace cmg290::detail
