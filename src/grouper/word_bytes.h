// Eight characters read as one 64-bit word, and the bytes among them that
// are zero or blank, found without a loop. A flag is the high bit of a byte.
#pragma once

#include <cstdint>

namespace cmg290::detail {

inline constexpr std::uint64_t kBlankWord = 0x2020202020202020ULL;

// Flags of zero bytes, by the short formula: the lowest flag marks the first
// zero byte exactly and some flag is set whenever a byte is zero, but flags
// above the first may be spurious (a 0x01 byte after a zero byte).
constexpr std::uint64_t first_zero_flags(std::uint64_t word) {
  constexpr std::uint64_t kLow = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  return (word - kLow) & ~word & kHigh;
}

// The same for blank bytes.
constexpr std::uint64_t first_blank_flags(std::uint64_t word) {
  return first_zero_flags(word ^ kBlankWord);
}

// Flags of every zero byte, exactly: for callers that need the last one too.
constexpr std::uint64_t zero_flags(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

static_assert(first_zero_flags(0x4100004141414141ULL) ==
              0x0080000000000000ULL + 0x0000800000000000ULL);
static_assert(first_blank_flags(kBlankWord) == 0x8080808080808080ULL);
static_assert(zero_flags(0x0100414141414141ULL) == 0x0080000000000000ULL);

}  // namespace cmg290::detail
