#include "csv_records.h"

namespace cmg290::frontend {

CsvRecords::Step CsvRecords::add_line(std::string_view line) {
  if (inQuotes_) {
    field_ += '\n';  // the line end inside a quoted field
  } else {
    fields_.clear();
    field_.clear();
    fieldQuoted_ = false;
  }
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inQuotes_) {
      if (c != '"') {
        field_ += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        field_ += '"';
        ++i;
      } else {
        inQuotes_ = false;
      }
    } else if (c == '"' && field_.empty() && !fieldQuoted_) {
      inQuotes_ = fieldQuoted_ = true;
    } else if (c == ',') {
      fields_.push_back(std::move(field_));
      field_.clear();
      fieldQuoted_ = false;
    } else if (fieldQuoted_) {
      inQuotes_ = fieldQuoted_ = false;
      return Step::Error;
    } else {
      field_ += c;
    }
  }
  if (inQuotes_) return Step::More;
  fields_.push_back(std::move(field_));
  field_.clear();
  fieldQuoted_ = false;
  return Step::Record;
}

}  // namespace cmg290::frontend
