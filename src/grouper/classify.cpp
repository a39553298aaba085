#include "classify.h"

#include <cstring>

#include "cmg290/tables.h"
#include "decimal.h"

namespace cmg290::detail {

namespace {

// Motor item weights in tenths of a point; they add up to 120.
constexpr int kMotorWeight[kMotorItems] = {6, 2, 9, 2, 14, 12, 5, 2, 22, 14, 16, 16};
constexpr int kBladderItem = 9;  // item 10, 0-based: a zero counts as 2

bool blank_cell(const char* cell) { return cell[0] == ' '; }

}  // namespace

int find_impairment_row(const char* key) {
  for (int row = 1; row < kImpairmentRows; ++row) {
    if (std::strcmp(Imp240[row], key) == 0) return row;
  }
  return 0;
}

int ric_number(const char* ric) {
  if (ric[0] < '0' || ric[0] > '9' || ric[1] < '0' || ric[1] > '9' || ric[2] != '\0') return 0;
  return (ric[0] - '0') * 10 + (ric[1] - '0');
}

int motor_sum(const Fields& f) {
  int sum = 0;
  for (int k = 0; k < kMotorItems; ++k) {
    int value = to_int(f.motor[k]);
    if (value == 0) value = k == kBladderItem ? 2 : 1;
    sum += value * kMotorWeight[k];
  }
  return sum;
}

void motor_text(int motorSum, char* out) {
  // "%d" of the sum, then the point inserted before the last digit.
  char reversed[12];
  int n = 0;
  long long v = motorSum;
  const bool negative = v < 0;
  if (negative) v = -v;
  do {
    reversed[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  int j = 0;
  if (negative) out[j++] = '-';
  while (n > 1) out[j++] = reversed[--n];
  out[j++] = '.';
  out[j++] = reversed[0];
  out[j] = '\0';
}

int cognitive_sum(const Fields& f) {
  int sum = 0;
  for (int k = 0; k < kCognitiveItems; ++k) {
    const int value = to_int(f.cognitive[k]);
    sum += value == 0 ? 1 : value;
  }
  return sum;
}

int find_cmg_row(const char* ric, int motorSum, int cognitiveSum, int age) {
  for (int row = 1; row < kCmgRows; ++row) {
    if (std::strcmp(RicCode[row], ric) != 0) continue;
    if (motorSum < to_int(MotLow[row]) || motorSum > to_int(MotHigh[row])) continue;
    if (!blank_cell(CogLow[row]) && !blank_cell(CogHigh[row])) {
      if (cognitiveSum < to_int(CogLow[row]) || cognitiveSum > to_int(CogHigh[row])) continue;
    }
    if (blank_cell(AgeLow[row]) || blank_cell(AgeHigh[row])) return row;
    if (age >= to_int(AgeLow[row]) && age <= to_int(AgeHigh[row])) return row;
  }
  return 0;
}

}  // namespace cmg290::detail
