// Case-mix classification: impairment group to RIC, motor and cognitive
// scores, CMG lookup.
#pragma once

#include "grouper/record_intake.h"

namespace cmg290::detail {

// Row 1-85 of the impairment table whose code equals the key, or 0.
int find_impairment_row(const char (&impairmentKey)[8]);

// RIC as a number from its two-digit text ("01" is 1); 0 for anything that
// is not two digits.
constexpr int ric_number(const char* ric) {
  if (ric[0] < '0' || ric[0] > '9' || ric[1] < '0' || ric[1] > '9' || ric[2] != '\0') return 0;
  return (ric[0] - '0') * 10 + (ric[1] - '0');
}

// Motor item weights in tenths of a point; they add up to 120.
inline constexpr int kMotorWeight[kMotorItems] = {6, 2, 9, 2, 14, 12, 5, 2, 22, 14, 16, 16};

// The value an item counts with: a zero counts as 1, in motor item 10
// (index 9) as 2; every other value, negative or above 7, as itself.
// Written without a branch on the value.
constexpr int counted_motor_value(int index, int value) {
  return value + (value == 0) * (index == 9 ? 2 : 1);
}
constexpr int counted_cognitive_value(int value) {
  return value + (value == 0);
}

// Weighted motor sum in tenths of a point.
int motor_sum(const Fields& fields);

// The motor sum as a decimal text with one digit after the point ("13.4",
// "-.7"); `out` needs room for 16 bytes. Returns the length of the text.
int motor_text(int motorSum, char* out);

// Plain sum of the cognitive items as they count.
int cognitive_sum(const Fields& fields);

// Row 1-87 of the CMG table that holds the RIC, scores and age, or 0.
int find_cmg_row(const char* ric, int motorSum, int cognitiveSum, int age);

}  // namespace cmg290::detail
