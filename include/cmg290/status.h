// The grouper's status codes and what each says of a result: its name, its
// description, and which outputs it reached; and the values the outputs
// hold when not reached. Every front end takes its statuses from here, so
// that a code added to status.def reaches all of them.
#pragma once

#include <string_view>

#include "cmg290/cmg290.h"

namespace cmg290 {

// Which outputs of a result carry real values.
enum ReachedOutputs : unsigned {
  kReachesNone = 0,
  kReachesAge = 1,           // the age
  kReachesCmgAndScores = 2,  // the CMG code, the motor and cognitive scores
  kReachesAll = kReachesAge | kReachesCmgAndScores,
};

// The codes by name: Status::Grouped is 0, and so on.
enum class Status : int {
#define CMG290_STATUS(code, name, description, reached) name = code,
#include "cmg290/status.def"
#undef CMG290_STATUS
};

struct StatusCode {
  int code;
  std::string_view name;
  std::string_view description;
  unsigned reached;  // ReachedOutputs
};

inline constexpr StatusCode kStatusCodes[] = {
#define CMG290_STATUS(code, name, description, reached) {code, #name, description, reached},
#include "cmg290/status.def"
#undef CMG290_STATUS
};

// The description of a code that is none of the above.
inline constexpr std::string_view kUnknownStatusText = "unknown status";

// The row of a status code; nullptr for a code the grouper never returns.
constexpr const StatusCode* find_status_code(int status) noexcept {
  for (const StatusCode& s : kStatusCodes) {
    if (s.code == status) return &s;
  }
  return nullptr;
}

constexpr unsigned reached_outputs(int status) noexcept {
  const StatusCode* s = find_status_code(status);
  return s != nullptr ? s->reached : kReachesNone;
}
// The CMG code and the motor and cognitive scores.
constexpr bool reaches_cmg_and_scores(int status) noexcept {
  return (reached_outputs(status) & kReachesCmgAndScores) != 0;
}
constexpr bool reaches_age(int status) noexcept {
  return (reached_outputs(status) & kReachesAge) != 0;
}

// The highest code the grouper returns.
constexpr int highest_status_code() noexcept {
  int highest = 0;
  for (const StatusCode& s : kStatusCodes) highest = s.code > highest ? s.code : highest;
  return highest;
}

// What every output holds before the pass writes it, and keeps when the
// pass ends before reaching it.
// The grouper version is written on every call.
inline constexpr Result kResetResult = {0, "     ", " 0.0", 0, 0, "    ", "2.90"};
static_assert(std::string_view(kResetResult.grouperVersion) == kGrouperVersion);

}  // namespace cmg290
