// Writers of the pieces of a result row: each writes at `out` and returns
// the end of what it wrote. Some write with copies of a fixed size and may
// write up to kSpare bytes past that end; row buffers have room for them.
#pragma once

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "grouper/word_bytes.h"

namespace cmg290::cli {

inline char* put(char* out, std::string_view s) {
  std::memcpy(out, s.data(), s.size());
  return out + s.size();
}

inline char* put_blanks(char* out, std::size_t n) {
  std::memset(out, ' ', n);
  return out + n;
}

// Up to 20 characters, written in place (two digits a step).
inline char* put_int(char* out, std::int64_t v) {
  return std::to_chars(out, out + 20, v).ptr;
}

inline char* put_right(char* out, std::string_view s, std::size_t width) {
  if (s.size() < width) out = put_blanks(out, width - s.size());
  return put(out, s);
}

inline char* put_int_right(char* out, std::int64_t v, std::size_t width) {
  char buf[24];
  const std::size_t n = static_cast<std::size_t>(put_int(buf, v) - buf);
  return put_right(out, std::string_view(buf, n), width);
}

// Rows are written with some copies of a fixed size, which may write up to
// this many bytes past the end of what they put; row buffers have room for
// them (max_row_size() counts them).
constexpr std::size_t kSpare = 64;

// A whole number of 0 to 999 (cognitive scores, ages), or any other through
// put_int.
inline char* put_small_int(char* out, std::int64_t v) {
  if (v < 0 || v > 999) return put_int(out, v);
  const int n = static_cast<int>(v);
  if (n >= 100) *out++ = static_cast<char>('0' + n / 100);
  if (n >= 10) *out++ = static_cast<char>('0' + n / 10 % 10);
  *out++ = static_cast<char>('0' + n % 10);
  return out;
}

// A result text without its surrounding blanks (" 0.0" -> "0.0", "     " -> "").
template <std::size_t N>
inline std::string_view without_end_blanks(const char (&text)[N]) {
  std::string_view s(text, strnlen(text, N));
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The N bytes of a text as one word (first byte lowest), built in a register
// with shifts known to the compiler: a copy into a zeroed word on the stack
// would be read back before its pieces are stored, which stalls.
template <std::size_t N, std::size_t... I>
inline std::uint64_t text_word(const char (&text)[N], std::index_sequence<I...>) {
  return ((std::uint64_t{static_cast<unsigned char>(text[I])} << (8 * I)) | ...);
}

// A result text of up to seven characters without its surrounding blanks
// (" 0.0" -> "0.0", "     " -> ""), found with word operations and written
// with one eight-byte copy.
template <std::size_t N>
inline char* put_trimmed(char* out, const char (&text)[N]) {
  static_assert(N <= 7, "the word must hold a zero byte after the text");
  if constexpr (std::endian::native != std::endian::little) {
    return put(out, without_end_blanks(text));
  } else {
    const std::uint64_t word = text_word(text, std::make_index_sequence<N>());
    const std::uint64_t zeros = detail::zero_flags(word);
    const std::uint64_t inText = (zeros & -zeros) - 1;  // bytes before the first zero
    const std::uint64_t filled =
        ~detail::zero_flags(word ^ detail::kBlankWord) & inText & 0x8080808080808080ULL;
    if (filled == 0) return out;
    const int begin = std::countr_zero(filled) / 8;
    const int end = (63 - std::countl_zero(filled)) / 8 + 1;
    const std::uint64_t shown = word >> (8 * begin);
    std::memcpy(out, &shown, 8);
    return out + (end - begin);
  }
}

// A line number held as decimal text and counted up in place: going to the
// next number usually changes only the last digit.
class LineNumber {
 public:
  explicit LineNumber(std::int64_t n) {  // n >= 0
    std::memset(digits_, '0', sizeof digits_);
    const std::to_chars_result r = std::to_chars(digits_ + kEnd, digits_ + sizeof digits_, n);
    const auto length = r.ptr - (digits_ + kEnd);
    std::memmove(digits_ + kEnd - length, digits_ + kEnd, static_cast<std::size_t>(length));
    std::memset(digits_ + kEnd, '0', sizeof digits_ - kEnd);
    begin_ = kEnd - static_cast<int>(length);
  }

  void next() {
    // The places before the number hold '0', so the carry stops there.
    char* d = digits_ + kEnd - 1;
    while (*d == '9') *d-- = '0';
    ++*d;
    if (d < digits_ + begin_) begin_ = static_cast<int>(d - digits_);
  }

  std::string_view text() const {
    return {digits_ + begin_, static_cast<std::size_t>(kEnd - begin_)};
  }

  // Writes the digits with one copy of a fixed size (see kSpare).
  char* put(char* out) const {
    std::memcpy(out, digits_ + begin_, kCopy);
    return out + (kEnd - begin_);
  }

 private:
  static constexpr int kEnd = 24;  // room for 19 digits and a carry
  static constexpr std::size_t kCopy = 24;
  static_assert(kCopy <= kSpare);
  char digits_[kEnd + kCopy];
  int begin_ = kEnd;
};

template <std::size_t N>
inline std::string_view raw(const char (&text)[N]) {
  return std::string_view(text, strnlen(text, N));
}

}  // namespace cmg290::cli
