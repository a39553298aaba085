#include "grouper/record_intake.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "cmg290/cmg290.h"
#include "cmg290/record_layout.h"
#include "grouper/word_bytes.h"

namespace cmg290::detail {

namespace {

// Field positions come from the published record layout, so what is read
// here is what the layout lists; the checks below tie every field's length
// to the room its copy has.
constexpr int start_of(FieldId id) {
  return field_layout(id).start;
}
constexpr int length_of(FieldId id) {
  return field_layout(id).length;
}

template <int N>
constexpr bool run_of(FieldId first, FieldId last, int length) {
  if (static_cast<int>(last) - static_cast<int>(first) + 1 != N) return false;
  for (int k = 0; k < N; ++k) {
    if (kRecordLayout[static_cast<int>(first) + k].length != length) return false;
  }
  return true;
}

constexpr auto kMotorStart = starts_from<kMotorItems>(FieldId::motor_item_1);
constexpr auto kCognitiveStart = starts_from<kCognitiveItems>(FieldId::cognitive_item_1);

constexpr Fields kRoom{};
constexpr ComorbidCodeList kSlotRoom{};
static_assert(length_of(FieldId::record_id) + 1 == sizeof kRoom.recordId);
static_assert(length_of(FieldId::record_kind) + 1 == sizeof kRoom.recordKind);
static_assert(length_of(FieldId::birth_date) + 1 == sizeof kRoom.birthDate);
static_assert(length_of(FieldId::age_date) + 1 == sizeof kRoom.ageDate);
static_assert(length_of(FieldId::impairment_group) + 1 == sizeof kRoom.impairmentGroup);
static_assert(length_of(FieldId::version_date) + 1 == sizeof kRoom.versionDate);
static_assert(run_of<kComorbidSlots>(FieldId::comorbid_code_1, FieldId::comorbid_code_25,
                                     sizeof kSlotRoom.cell[0] - 1));
static_assert(run_of<kMotorItems>(FieldId::motor_item_1, FieldId::motor_item_12,
                                  sizeof kRoom.motor[0] - 1));
static_assert(run_of<kCognitiveItems>(FieldId::cognitive_item_1, FieldId::cognitive_item_5,
                                      sizeof kRoom.cognitive[0] - 1));
static_assert(kRecordFieldCount == 5 + kComorbidSlots + kMotorItems + kCognitiveItems + 1,
              "every field of the layout is copied out");
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
  const FullRecord full(record, n);
  const char* r = full.data();
  copy_whole(r, f.recordId, start_of(FieldId::record_id));
  copy_whole(r, f.recordKind, start_of(FieldId::record_kind));
  copy_whole(r, f.birthDate, start_of(FieldId::birth_date));
  copy_whole(r, f.ageDate, start_of(FieldId::age_date));
  copy_whole(r, f.impairmentGroup, start_of(FieldId::impairment_group));
  for (int k = 0; k < kMotorItems; ++k) copy_whole(r, f.motor[k], kMotorStart[k]);
  for (int k = 0; k < kCognitiveItems; ++k) copy_whole(r, f.cognitive[k], kCognitiveStart[k]);
  copy_whole(r, f.versionDate, start_of(FieldId::version_date));
}

void extract_comorbid_slots(const char* record, std::size_t n, ComorbidCodeList& slots) {
  const FullRecord full(record, n);
  for (int k = 0; k < kComorbidSlots; ++k)
    copy_whole(full.data(), slots.cell[k], kComorbidStart[k]);
}

void trim_code(char* code) {
  std::uint64_t word;
  std::memcpy(&word, code, sizeof word);
  if (word == kBlankWord) {  // an empty slot, by far the most common
    code[0] = '\0';
    return;
  }
  const std::uint64_t x = word ^ kBlankWord;  // a zero byte where a blank was
  const std::uint64_t blanks = first_blank_flags(word);
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

void build_comorbid_list(ComorbidCodeList& slots) {
  for (auto& cell : slots.cell) trim_code(cell);
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
