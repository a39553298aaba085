// Rows of named field values for `cmg290 build`, read line by line from CSV
// with a header of field names (RFC 4180: a quoted value may hold commas,
// doubled quotes and line ends) or from JSON Lines of objects whose members
// are strings. JSON text is UTF-8; each character U+0000 to U+00FF stands
// for the one byte of that value, as `cmg290 group` and `explain` write bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cmg290/record_builder.h"
#include "csv_records.h"

namespace cmg290::cli {

class FieldRowReader {
 public:
  enum class Step { More, Row, Error };

  // format: "csv", "jsonl" or "auto" (decided by the first line that is not
  // empty).
  explicit FieldRowReader(std::string format);

  // Takes physical line `number` (without its line end). Row: `values`
  // holds a complete row, valid until the next call. Error: `error` says
  // why. rowLine is set to the line the row (or the error) starts on. Empty
  // lines outside a quoted value are skipped.
  Step add_line(const std::string& line, long long number, std::vector<FieldValue>& values,
                long long& rowLine, std::string& error);

  // At the end of the input: false when a quoted value was left open.
  bool finish(long long& rowLine, std::string& error) const;

 private:
  Step add_csv(std::string_view line, long long number, std::vector<FieldValue>& values,
               long long& rowLine, std::string& error);
  Step add_json(const std::string& line, std::vector<FieldValue>& values, std::string& error);
  Step checked(std::vector<FieldValue>& values, std::string& error) const;

  std::string format_;
  std::vector<std::string> header_;
  bool haveHeader_ = false;
  // A CSV row under way, and the line it began on.
  frontend::CsvRecords csv_;
  long long startLine_ = 0;
  std::vector<std::string> storage_;  // the texts the values point into
};

}  // namespace cmg290::cli
