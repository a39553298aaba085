// The excluded-RIC test of a tier-table row: is the record's RIC in the
// row's list of RICs for which the row does not count?
#pragma once

namespace cmg290::detail {

// Longest excluded-RIC list text a cell can hold (cells are 20 or 21 bytes).
inline constexpr int kMaxRicListChars = 20;

// The list is split at commas into pieces (empty pieces are dropped) and the
// row is excluded when a piece equals the RIC as a whole text. A list that
// begins with a blank excludes nothing. The plain variant compares pieces as
// they stand (lists of 2.40 to 2.70 hold no blanks); the blank-free variant
// removes every blank from the list first (2.82 and 2.90 lists read
// "03, 05" and may end in a blank).
constexpr bool ric_excluded(const char* list, const char* ric, bool removeBlanks) {
  if (list[0] == ' ') return false;
  char work[kMaxRicListChars + 1] = {};
  int n = 0;
  for (int i = 0; list[i] != '\0' && n < kMaxRicListChars; ++i) {
    if (removeBlanks && list[i] == ' ') continue;
    work[n++] = list[i];
  }
  int start = 0;
  for (int i = 0; i <= n; ++i) {
    if (i < n && work[i] != ',') continue;
    // Piece work[start, i): compare with the RIC as a whole text.
    if (i > start) {
      int j = 0;
      while (start + j < i && ric[j] != '\0' && work[start + j] == ric[j]) ++j;
      if (start + j == i && ric[j] == '\0') return true;
    }
    start = i + 1;
  }
  return false;
}

constexpr bool ric_excluded_plain(const char* list, const char* ric) {
  return ric_excluded(list, ric, false);
}

constexpr bool ric_excluded_blank_free(const char* list, const char* ric) {
  return ric_excluded(list, ric, true);
}

}  // namespace cmg290::detail
