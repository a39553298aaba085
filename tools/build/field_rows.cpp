#include "field_rows.h"

#include <nlohmann/json.hpp>
#include <set>

#include "cmg290/record_layout.h"

namespace cmg290::cli {

namespace {

// UTF-8 text to bytes, one byte per character U+0000 to U+00FF. False for
// a character beyond that.
bool latin1_bytes(const std::string& utf8, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if ((c == 0xc2 || c == 0xc3) && i + 1 < utf8.size()) {
      bytes +=
          static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3f));
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

FieldRowReader::FieldRowReader(std::string format) : format_(std::move(format)) {}

FieldRowReader::Step FieldRowReader::add_line(const std::string& line, long long number,
                                              std::vector<FieldValue>& values, long long& rowLine,
                                              std::string& error) {
  if (!csv_.in_quotes()) {
    rowLine = number;
    if (line.empty() || line == "\r") return Step::More;
  }
  if (format_ == "auto") format_ = line[0] == '{' ? "jsonl" : "csv";
  if (format_ == "jsonl") return add_json(line, values, error);
  std::string_view text(line);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);  // CRLF
  return add_csv(text, number, values, rowLine, error);
}

bool FieldRowReader::finish(long long& rowLine, std::string& error) const {
  if (!csv_.in_quotes()) return true;
  rowLine = startLine_;
  error = "a quoted value is not closed";
  return false;
}

FieldRowReader::Step FieldRowReader::add_csv(std::string_view line, long long number,
                                             std::vector<FieldValue>& values, long long& rowLine,
                                             std::string& error) {
  if (!csv_.in_quotes()) startLine_ = number;
  rowLine = startLine_;
  switch (csv_.add_line(line)) {
    case frontend::CsvRecords::Step::More:
      return Step::More;
    case frontend::CsvRecords::Step::Error:
      error = "characters after the closing quote of value " + std::to_string(csv_.error_field());
      return Step::Error;
    case frontend::CsvRecords::Step::Record:
      break;
  }
  const std::vector<std::string>& fields = csv_.fields();

  if (!haveHeader_) {
    haveHeader_ = true;
    header_ = fields;
    if (!header_.empty() && header_[0].rfind("\xef\xbb\xbf", 0) == 0) header_[0].erase(0, 3);
    std::set<std::string> seen;
    for (const std::string& name : header_) {
      if (find_field(name) == nullptr) {
        error = "unknown field \"" + name + "\" in the header";
        return Step::Error;
      }
      if (!seen.insert(name).second) {
        error = "field " + name + " named twice in the header";
        return Step::Error;
      }
    }
    return Step::More;
  }
  if (fields.size() != header_.size()) {
    error = std::to_string(fields.size()) + " values, the header names " +
            std::to_string(header_.size()) + " fields";
    return Step::Error;
  }
  storage_ = fields;
  values.clear();
  for (std::size_t i = 0; i < header_.size(); ++i) values.push_back({header_[i], storage_[i]});
  return checked(values, error);
}

FieldRowReader::Step FieldRowReader::add_json(const std::string& line,
                                              std::vector<FieldValue>& values, std::string& error) {
  nlohmann::json object;
  try {
    object = nlohmann::json::parse(line);
  } catch (const nlohmann::json::parse_error& e) {
    error = std::string("not valid JSON: ") + e.what();
    return Step::Error;
  }
  if (!object.is_object()) {
    error = "not a JSON object";
    return Step::Error;
  }
  storage_.clear();
  storage_.reserve(2 * object.size());
  for (const auto& [name, value] : object.items()) {
    if (!value.is_string()) {
      error = "value of " + name + " is not a string";
      return Step::Error;
    }
    storage_.push_back(name);
    std::string bytes;
    if (!latin1_bytes(value.get_ref<const std::string&>(), bytes)) {
      error = "value of " + name + " holds a character beyond U+00FF, which is not one byte";
      return Step::Error;
    }
    storage_.push_back(std::move(bytes));
  }
  values.clear();
  for (std::size_t i = 0; i < storage_.size(); i += 2) {
    values.push_back({storage_[i], storage_[i + 1]});
  }
  return checked(values, error);
}

// A line end inside a value would split its record in two in the output,
// one record per line.
FieldRowReader::Step FieldRowReader::checked(std::vector<FieldValue>& values,
                                             std::string& error) const {
  for (const FieldValue& v : values) {
    if (v.value.find_first_of("\r\n") != std::string_view::npos) {
      error = "value of " + std::string(v.name) + " holds a line end";
      return Step::Error;
    }
  }
  return Step::Row;
}

}  // namespace cmg290::cli
