// Building a fixed-position assessment record from named field values, for
// callers that do not hold records in that form.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#if __cplusplus >= 202002L && __has_include(<span>)
#include <span>
#endif

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
CMG290_API BuiltRecord build_record(const FieldValue* values, std::size_t count);
CMG290_API BuiltRecord build_record(std::initializer_list<FieldValue> values);
#if defined(__cpp_lib_span)
// The same for C++20 callers that hold their values in a span.
CMG290_API BuiltRecord build_record(std::span<const FieldValue> values);
#endif

}  // namespace cmg290
