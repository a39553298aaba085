// Case-mix classification: impairment group to RIC, motor and cognitive
// scores, CMG lookup.
#pragma once

#include "record_intake.h"

namespace cmg290::detail {

// Row 1-85 of the impairment table whose code equals the key, or 0.
int find_impairment_row(const char* impairmentKey);

// RIC as a number from its two-digit text ("01" is 1); 0 for anything that
// is not two digits.
constexpr int ric_number(const char* ric) {
  if (ric[0] < '0' || ric[0] > '9' || ric[1] < '0' || ric[1] > '9' || ric[2] != '\0') return 0;
  return (ric[0] - '0') * 10 + (ric[1] - '0');
}

// Weighted motor sum in tenths of a point; a zero item counts as 1 (item
// 10 as 2).
int motor_sum(const Fields& fields);

// The motor sum as a decimal text with one digit after the point ("13.4",
// "-.7"); `out` needs room for 16 bytes.
void motor_text(int motorSum, char* out);

// Plain sum of the cognitive items; a zero item counts as 1.
int cognitive_sum(const Fields& fields);

// Row 1-87 of the CMG table that holds the RIC, scores and age, or 0.
int find_cmg_row(const char* ric, int motorSum, int cognitiveSum, int age);

}  // namespace cmg290::detail
