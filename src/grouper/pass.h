// The grouping pass shared by CMG_290 and cmg290::group.
#pragma once

#include <cstddef>

namespace cmg290::detail {

// Where the pass writes its results; the caller owns every buffer.
struct Outputs {
  char* cmgResult;  // 6 bytes
  int* status;
  char* motorScore;  // 7 bytes
  int* cognitiveScore;
  int* age;
  char* tableVersion;    // 5 bytes
  char* grouperVersion;  // 5 bytes
};

// Groups the record of `recordLength` characters (positions past the end
// read as blanks) and returns the status code, also stored in *out.status.
int run_pass(const char* record, std::size_t recordLength, const Outputs& out);

}  // namespace cmg290::detail
