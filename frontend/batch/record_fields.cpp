#include "batch/record_fields.h"

#include <stdexcept>

namespace cmg290::batch {

std::vector<const cmg290::FieldLayout*> named_fields(const std::vector<std::string>& names) {
  std::vector<const cmg290::FieldLayout*> fields;
  fields.reserve(names.size());
  for (const std::string& name : names) {
    const cmg290::FieldLayout* field = cmg290::find_field(name);
    if (field == nullptr) {
      throw std::invalid_argument("names: \"" + name +
                                  "\" is not a field of the record layout; the fields are "
                                  "listed in docs/reference/record-layout.md");
    }
    for (const cmg290::FieldLayout* f : fields) {
      if (f == field) throw std::invalid_argument("names: \"" + name + "\" is named twice");
    }
    fields.push_back(field);
  }
  return fields;
}

}  // namespace cmg290::batch
