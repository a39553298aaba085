// Building a fixed-position assessment record from named field values, for
// callers that do not hold records in that form.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "cmg290/export.h"

namespace cmg290 {

// One field by its name in the record layout (record_layout.h), and its text.
struct FieldValue {
  std::string_view name;
  std::string_view value;
};

struct BuiltRecord {
  std::string record;  // 1251 characters; empty when the values are refused
  std::string error;   // why they were refused; empty on success

  bool ok() const { return error.empty(); }
};

// Builds a record of 1251 characters: each value left-aligned in its field
// and filled out with blanks, every position that no value covers blank. A
// value may hold any bytes. Refused, with a message naming the field: an
// unknown field name, a field given twice, and a value longer than its
// field (nothing is ever cut off).
CMG290_API BuiltRecord build_record(std::span<const FieldValue> values);
CMG290_API BuiltRecord build_record(std::initializer_list<FieldValue> values);

}  // namespace cmg290
