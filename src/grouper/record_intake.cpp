#include "record_intake.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "cmg290/cmg290.h"

namespace cmg290::detail {

namespace {

// Start positions of the comorbid slots, the motor and the cognitive items.
constexpr int kComorbidStart[kComorbidSlots] = {
    754,  762,  770,  778,  786,  794,  802,  810,  818,  826,  1132, 1140, 1148,
    1156, 1164, 1172, 1180, 1188, 1196, 1204, 1212, 1220, 1228, 1236, 1244};
constexpr int kMotorStart[kMotorItems] = {882, 888, 894, 900, 906, 912,
                                          918, 924, 930, 936, 948, 956};
constexpr int kCognitiveStart[kCognitiveItems] = {962, 970, 978, 984, 990};

static_assert(kComorbidStart[kComorbidSlots - 1] + 8 - 1 == static_cast<int>(kRecordLength),
              "the last comorbid slot ends the record");

}  // namespace

void copy_field(const char* record, std::size_t recordLength, char* dst, int start, int length) {
  // Position arithmetic in 64 bits: FillData takes any int start.
  const std::int64_t first = static_cast<std::int64_t>(start) - 1;
  const std::int64_t end = first + length;
  const auto size = static_cast<std::int64_t>(
      std::min<std::size_t>(recordLength, std::numeric_limits<std::int64_t>::max()));
  // The part of the field that lies inside the record is copied; positions
  // before or after it read as blanks.
  const std::int64_t from = std::clamp<std::int64_t>(first, 0, size);
  const std::int64_t to = std::clamp<std::int64_t>(end, from, size);
  const std::int64_t before = std::min<std::int64_t>(from, end) - first;
  if (before > 0) std::memset(dst, ' ', static_cast<std::size_t>(before));
  if (to > from)
    std::memcpy(dst + (from - first), record + from, static_cast<std::size_t>(to - from));
  const std::int64_t after = std::max<std::int64_t>(to, first) - first;
  if (length > after) std::memset(dst + after, ' ', static_cast<std::size_t>(length - after));
  dst[length] = '\0';
}

namespace {

// A field of a record known to hold every position read: a copy of fixed
// length, which the compiler turns into a few moves.
template <std::size_t Room>
void copy_whole(const char* record, char (&dst)[Room], int start) {
  std::memcpy(dst, record + start - 1, Room - 1);
  dst[Room - 1] = '\0';
}

}  // namespace

void extract_fields(const char* record, std::size_t n, Fields& f) {
  if (n >= kRecordLength) {
    copy_whole(record, f.recordId, 1);
    copy_whole(record, f.recordKind, 11);
    copy_whole(record, f.birthDate, 657);
    copy_whole(record, f.ageDate, 688);
    copy_whole(record, f.impairmentGroup, 720);
    for (int k = 0; k < kComorbidSlots; ++k) {
      copy_whole(record, f.comorbid.cell[k], kComorbidStart[k]);
    }
    for (int k = 0; k < kMotorItems; ++k) copy_whole(record, f.motor[k], kMotorStart[k]);
    for (int k = 0; k < kCognitiveItems; ++k) {
      copy_whole(record, f.cognitive[k], kCognitiveStart[k]);
    }
    copy_whole(record, f.versionDate, 996);
    return;
  }
  copy_field(record, n, f.recordId, 1, 10);
  copy_field(record, n, f.recordKind, 11, 1);
  copy_field(record, n, f.birthDate, 657, 8);
  copy_field(record, n, f.ageDate, 688, 8);
  copy_field(record, n, f.impairmentGroup, 720, 9);
  for (int k = 0; k < kComorbidSlots; ++k) {
    copy_field(record, n, f.comorbid.cell[k], kComorbidStart[k], 8);
  }
  for (int k = 0; k < kMotorItems; ++k) copy_field(record, n, f.motor[k], kMotorStart[k], 2);
  for (int k = 0; k < kCognitiveItems; ++k) {
    copy_field(record, n, f.cognitive[k], kCognitiveStart[k], 2);
  }
  copy_field(record, n, f.versionDate, 996, 8);
}

void trim_code(char* code) {
  std::uint64_t word;
  std::memcpy(&word, code, sizeof word);
  constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
  constexpr std::uint64_t kLow = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  if (word == kBlanks) {  // an empty slot, by far the most common
    code[0] = '\0';
    return;
  }
  const std::uint64_t x = word ^ kBlanks;  // a zero byte where a blank was
  // The lowest flagged byte is the first blank (flags above it may be
  // spurious, flags below it never are).
  const std::uint64_t blanks = (x - kLow) & ~x & kHigh;
  if constexpr (std::endian::native == std::endian::little) {
    // No blank, or blanks only at the end, the usual cases for a code: the
    // text ends at the first blank.
    const int first = blanks == 0 ? 8 : std::countr_zero(blanks) / 8;
    const std::uint64_t rest = first == 8 ? 0 : x >> (8 * first);
    if (rest == 0) {
      code[first] = '\0';
      return;
    }
  }
  char work[9];
  remove_blanks(code, 8, work);
  std::strcpy(code, work);
}

void build_comorbid_list(Fields& f) {
  for (auto& cell : f.comorbid.cell) trim_code(cell);
}

}  // namespace cmg290::detail

void FillData(char* record, char* destination, int start, int length) {
  // A length below 1 has no field to copy; destination[length] would lie
  // before the destination.
  if (length < 1) return;
  cmg290::detail::copy_field(record, SIZE_MAX, destination, start, length);
}

void Trim_CMRBD(char* code) {
  cmg290::detail::trim_code(code);
}
