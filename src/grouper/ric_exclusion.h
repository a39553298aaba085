// The excluded-RIC test of a tier-table row: is the record's RIC in the
// row's list of RICs for which the row does not count?
#pragma once

namespace cmg290::detail {

// Longest excluded-RIC list text a cell can hold (cells are 20 or 21 bytes).
inline constexpr int kMaxRicListChars = 20;

// Calls piece(text, length) for every piece of the list: the list is split
// at commas and empty pieces are dropped. A list that begins with a blank
// has no pieces. The plain variant keeps every character (lists of 2.40 to
// 2.70 hold no blanks); the blank-free variant removes every blank first
// (2.82 and 2.90 lists read "03, 05" and may end in a blank).
template <typename Piece>
constexpr void for_each_ric_piece(const char* list, bool removeBlanks, Piece piece) {
  if (list[0] == ' ') return;
  char work[kMaxRicListChars + 1] = {};
  int n = 0;
  for (int i = 0; list[i] != '\0' && n < kMaxRicListChars; ++i) {
    if (removeBlanks && list[i] == ' ') continue;
    work[n++] = list[i];
  }
  int start = 0;
  for (int i = 0; i <= n; ++i) {
    if (i < n && work[i] != ',') continue;
    if (i > start) piece(work + start, i - start);
    start = i + 1;
  }
}

// The row is excluded when a piece equals the RIC as a whole text.
constexpr bool ric_excluded(const char* list, const char* ric, bool removeBlanks) {
  bool excluded = false;
  for_each_ric_piece(list, removeBlanks, [&](const char* text, int length) {
    int j = 0;
    while (j < length && ric[j] != '\0' && text[j] == ric[j]) ++j;
    if (j == length && ric[j] == '\0') excluded = true;
  });
  return excluded;
}

constexpr bool ric_excluded_plain(const char* list, const char* ric) {
  return ric_excluded(list, ric, false);
}

constexpr bool ric_excluded_blank_free(const char* list, const char* ric) {
  return ric_excluded(list, ric, true);
}

// The same test for every RIC text "00" to "63" at once: bit n is set when
// the list excludes the RIC whose two-digit text is n.
constexpr unsigned long long ric_exclusion_mask(const char* list, bool removeBlanks) {
  unsigned long long mask = 0;
  for_each_ric_piece(list, removeBlanks, [&](const char* text, int length) {
    if (length != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return;
    const int n = (text[0] - '0') * 10 + (text[1] - '0');
    if (n < 64) mask |= 1ULL << n;
  });
  return mask;
}

}  // namespace cmg290::detail
