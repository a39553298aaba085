// CSV records (RFC 4180) split into their fields, one line at a time: a field
// that begins with a double quote runs to the next single double quote, may
// hold commas and doubled quotes, and, if the caller lets it, line ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cmg290::frontend {

class CsvRecords {
 public:
  enum class Step {
    Record,  // fields() holds the record that the line ended
    More,    // a quoted field is still open at the line end: the next line continues it
    Error,   // characters after a closing quote, in field error_field()
  };

  // Adds one line, without its line end. After Record or Error the next
  // line starts a new record.
  Step add_line(std::string_view line);

  // True while a quoted field is open; at the end of the input, a quoted
  // field that was never closed.
  bool in_quotes() const { return inQuotes_; }
  const std::vector<std::string>& fields() const { return fields_; }
  // The field, from 1, that held characters after its closing quote.
  std::size_t error_field() const { return fields_.size() + 1; }

 private:
  std::vector<std::string> fields_;
  std::string field_;
  bool inQuotes_ = false;
  bool fieldQuoted_ = false;
};

}  // namespace cmg290::frontend
