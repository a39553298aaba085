// A code text of up to eight characters packed into one 64-bit word, so
// that two codes are equal as whole texts exactly when their words are.
#pragma once

#include <cstdint>

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

// Length of a text, counting at most limit characters.
constexpr int bounded_length(const char* text, int limit) {
  int n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

}  // namespace cmg290::detail
