// Reading record files line by line for the commands that take one record
// at a time (explain): the same line rules as `cmg290 group` (LF or CRLF, a
// last line without a line end counts, empty lines keep their numbers, any
// byte is part of a line, a line longer than a chunk keeps its head).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cmg290::cli {

struct RecordInput {
  std::string name;  // for messages: the path, or "standard input"
  int fd = -1;
  bool owned = false;

  RecordInput() = default;
  RecordInput(const RecordInput&) = delete;
  RecordInput& operator=(const RecordInput&) = delete;
  ~RecordInput();
};

// Opens the named inputs ("-" is standard input). Returns false with a
// one-line error naming the input that cannot be opened or read, or that
// standard output, a regular file, is also one of the inputs (the run would
// read its own output).
bool open_record_inputs(const std::vector<std::string>& names,
                        std::vector<std::unique_ptr<RecordInput>>& inputs, bool checkStdout,
                        std::string& error);

// Calls line(number, text) for every line of the input, numbers from 1,
// empty lines included; line() returns false to stop. Returns false with a
// one-line error when the input cannot be read.
bool for_each_line(const RecordInput& input,
                   const std::function<bool(std::int64_t, std::string_view)>& line,
                   std::string& error);

}  // namespace cmg290::cli
