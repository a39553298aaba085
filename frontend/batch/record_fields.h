// Fields of records by their layout names (cmg290/record_layout.h), for
// Python's and R's fields(): what a record holds of each named field.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cmg290/record_layout.h"

namespace cmg290::batch {

// The text of `field` as it stands in `record`, trailing blanks kept. A
// record that ends within the field gives what it holds of it; one that
// ends before the field gives "".
inline std::string_view field_text(std::string_view record, const cmg290::FieldLayout& field) {
  const auto first = static_cast<std::size_t>(field.start - 1);
  if (first >= record.size()) return {};
  return record.substr(first, static_cast<std::size_t>(field.length));
}

// The layouts of the fields named, in that order. Throws
// std::invalid_argument naming the first name that is not a field, and
// one that is named twice.
std::vector<const cmg290::FieldLayout*> named_fields(const std::vector<std::string>& names);

}  // namespace cmg290::batch
