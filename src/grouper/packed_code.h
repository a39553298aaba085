// A code text of up to eight characters packed into one 64-bit word (first
// character in the lowest byte), so that two codes are
// equal as whole texts exactly when their words are.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "grouper/word_bytes.h"

namespace cmg290::detail {

inline constexpr int kPackedCodeChars = 8;

// Packs the text up to its terminator, or its first eight characters.
constexpr std::uint64_t pack_code(const char* text) {
  std::uint64_t word = 0;
  for (int i = 0; i < kPackedCodeChars && text[i] != '\0'; ++i) {
    word |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  return word;
}

// pack_code for a text held in at least eight readable bytes: one
// eight-byte load, cut at the first zero byte.
inline std::uint64_t pack_word(const char* eightBytes) {
  if constexpr (std::endian::native != std::endian::little) {
    char text[kPackedCodeChars + 1] = {};
    std::memcpy(text, eightBytes, kPackedCodeChars);
    return pack_code(text);
  }
  std::uint64_t word;
  std::memcpy(&word, eightBytes, sizeof word);
  const std::uint64_t zeros = first_zero_flags(word);
  if (zeros == 0) return word;
  const int firstZero = std::countr_zero(zeros) / 8;
  return firstZero == 0 ? 0 : word & (~std::uint64_t{0} >> (64 - 8 * firstZero));
}

// pack_code for a nine-byte cell.
inline std::uint64_t pack_cell(const char (&cell)[9]) {
  return pack_word(cell);
}

// Length of a text, counting at most limit characters.
constexpr int bounded_length(const char* text, int limit) {
  int n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

}  // namespace cmg290::detail
