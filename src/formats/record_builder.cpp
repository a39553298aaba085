#include "cmg290/record_builder.h"

#include <bitset>
#include <span>

#include "cmg290/cmg290.h"
#include "cmg290/record_layout.h"

namespace cmg290 {

BuiltRecord build_record(const FieldValue* values, std::size_t count) {
  BuiltRecord built;
  std::string record(kRecordLength, ' ');
  std::bitset<kRecordFieldCount> given;
  for (const FieldValue& v : std::span<const FieldValue>(values, count)) {
    const FieldLayout* field = find_field(v.name);
    if (field == nullptr) {
      built.error = "unknown field \"" + std::string(v.name) + "\"";
      return built;
    }
    const auto index = static_cast<std::size_t>(field - kRecordLayout);
    if (given[index]) {
      built.error = "field " + std::string(v.name) + " given twice";
      return built;
    }
    given[index] = true;
    if (v.value.size() > static_cast<std::size_t>(field->length)) {
      built.error = "value of " + std::string(v.name) + " has " + std::to_string(v.value.size()) +
                    " characters, the field holds " + std::to_string(field->length);
      return built;
    }
    record.replace(static_cast<std::size_t>(field->start - 1), v.value.size(), v.value);
  }
  built.record = std::move(record);
  return built;
}

BuiltRecord build_record(std::initializer_list<FieldValue> values) {
  return build_record(values.begin(), values.size());
}

BuiltRecord build_record(std::span<const FieldValue> values) {
  return build_record(values.data(), values.size());
}

}  // namespace cmg290
