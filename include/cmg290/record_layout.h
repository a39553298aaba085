// The layout of an assessment record: every field the grouper reads, with
// its first position (1-based), its length and what it means. The rows come
// from record_layout.def, from which the record intake takes its positions,
// so this list is exactly what the grouper reads.
//
// Fields are listed in this order: record_id, record_kind, birth_date,
// age_date, impairment_group, comorbid_code_1 to comorbid_code_25,
// motor_item_1 to motor_item_12, cognitive_item_1 to cognitive_item_5,
// version_date. Positions that no field covers are never
// read.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace cmg290 {

struct FieldLayout {
  std::string_view name;     // snake_case, e.g. "comorbid_code_11"
  int start;                 // first position, 1-based
  int length;                // characters
  std::string_view meaning;  // one line

  constexpr int end() const { return start + length - 1; }  // last position
};

// Index of each field in kRecordLayout, e.g. FieldId::motor_item_10.
enum class FieldId : int {
#define FIELD(name, start, length, meaning) name,
#include "cmg290/record_layout.def"
#undef FIELD
};

inline constexpr FieldLayout kRecordLayout[] = {
#define FIELD(name, start, length, meaning) {#name, start, length, meaning},
#include "cmg290/record_layout.def"
#undef FIELD
};

inline constexpr std::size_t kRecordFieldCount = std::size(kRecordLayout);

constexpr const FieldLayout& field_layout(FieldId id) {
  return kRecordLayout[static_cast<int>(id)];
}

// The field of that name, or nullptr.
constexpr const FieldLayout* find_field(std::string_view name) {
  for (const FieldLayout& f : kRecordLayout) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

// The layout's own consistency: fields within the record, none overlapping
// another, and the last position read is the record's length (1251).
namespace layout_check {
constexpr bool fields_apart() {
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    const FieldLayout& a = kRecordLayout[i];
    if (a.start < 1 || a.length < 1) return false;
    for (std::size_t j = i + 1; j < kRecordFieldCount; ++j) {
      const FieldLayout& b = kRecordLayout[j];
      if (a.start <= b.end() && b.start <= a.end()) return false;
      if (a.name == b.name) return false;
    }
  }
  return true;
}
constexpr int last_position() {
  int last = 0;
  for (const FieldLayout& f : kRecordLayout) last = f.end() > last ? f.end() : last;
  return last;
}
}  // namespace layout_check

static_assert(layout_check::fields_apart(), "record fields are distinct and do not overlap");
static_assert(layout_check::last_position() == 1251, "the last field ends at position 1251");
static_assert(kRecordFieldCount == 48);

}  // namespace cmg290
