// The weighted motor score of a result ("48.0", "-3.5", ".7") as a number,
// for front ends that hand it over as one.
#pragma once

#include <cstdint>

namespace cmg290::cli {

inline double motor_number(const char* text) noexcept {
  while (*text == ' ') ++text;
  const bool negative = *text == '-';
  if (negative) ++text;
  std::int64_t tenths = 0;
  bool point = false;
  for (; *text != '\0'; ++text) {
    if (*text == '.') {
      point = true;
    } else if (*text >= '0' && *text <= '9') {
      tenths = tenths * 10 + (*text - '0');
    } else {
      break;
    }
  }
  if (!point) tenths *= 10;
  const double value = static_cast<double>(tenths) / 10.0;
  return negative ? -value : value;
}

}  // namespace cmg290::cli
