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

#include "shared/record_inputs.h"

namespace cmg290::cli {

// Calls line(number, text) for every line of the input, numbers from 1,
// empty lines included; line() returns false to stop. Returns false with a
// one-line error when the input cannot be read.
bool for_each_line(const batch::Input& input,
                   const std::function<bool(std::int64_t, std::string_view)>& line,
                   std::string& error);

}  // namespace cmg290::cli
