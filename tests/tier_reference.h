// A plain row-by-row tier search over the exported table columns: the
// reference that the indexed search must agree with. Every list is walked
// from row 1 in ascending order, each row compared with every scanned cell.
#pragma once

#include <cstring>
#include <string>

#include "record_checks.h"
#include "cmg290/tier_tables.h"
#include "record_intake.h"

namespace cmg290::test::reference {

using detail::ComorbidCodeList;
using detail::TableVersion;

// Split the list at commas (after removing blanks, for the late versions)
// and compare each piece with the RIC.
inline bool excluded(const char* list, const char* ric, bool removeBlanks) {
  if (list[0] == ' ') return false;
  std::string work;
  for (const char* p = list; *p != '\0'; ++p) {
    if (!(removeBlanks && *p == ' ')) work += *p;
  }
  std::size_t start = 0;
  while (start <= work.size()) {
    std::size_t comma = work.find(',', start);
    if (comma == std::string::npos) comma = work.size();
    if (comma > start && work.compare(start, comma - start, ric) == 0) return true;
    start = comma + 1;
  }
  return false;
}

// Short scan: cells 1 to 10. Full scan: cells 1 to 25, ending at the first
// cell that begins with "^".
inline bool scan(const char* code, const ComorbidCodeList& list, bool full) {
  for (int k = 0; k < (full ? 25 : 10); ++k) {
    if (full && list.cell[k][0] == '^') return false;
    if (std::strcmp(list.cell[k], code) == 0) return true;
  }
  return false;
}

template <std::size_t R, std::size_t WC, std::size_t WT, std::size_t WR>
char single_list(const char (&code)[R][WC], const char (&tier)[R][WT], const char (&rics)[R][WR],
                 const char* ric, const ComorbidCodeList& list, bool full, bool blankFree,
                 const char (*eflag)[3] = nullptr) {
  for (std::size_t r = 1; r < R; ++r) {
    if (excluded(rics[r], ric, blankFree)) continue;
    if (eflag != nullptr && eflag[r][0] == '1') continue;
    if (scan(code[r], list, full)) return tier[r][0];
  }
  return 'A';
}

// The three stages of 2.82 and 2.90, with the flag column held locally.
template <std::size_t R>
char three_stage(const char (&code)[R][9], const char (&tier)[R][3], const char (&rics)[R][21],
                 const char (&c1)[kCmdPairRows][9], const char (&c2)[kCmdPairRows][9],
                 const char (&ctier)[kCmdPairRows][3], const char (&crics)[kCmdPairRows][21],
                 const char (&s2code)[kCmdSecondaryRows][9],
                 const char (&s2tier)[kCmdSecondaryRows][3],
                 const char (&s2rics)[kCmdSecondaryRows][21], const char* ric,
                 const ComorbidCodeList& list) {
  const char t = single_list(code, tier, rics, ric, list, true, true);
  if (t != 'A') return t;

  char eflag[kCmdSecondaryRows][3];
  for (int k = 0; k < kCmdSecondaryRows; ++k) std::strcpy(eflag[k], k == 0 ? " " : "0");
  char found = 'A';
  for (int r = 1; r < kCmdPairRows; ++r) {
    const bool isExcluded = excluded(crics[r], ric, true);
    bool first = false, second = false;
    for (int k = 0; k < 25 && list.cell[k][0] != '^'; ++k) {
      if (std::strcmp(list.cell[k], c1[r]) == 0) first = true;
      if (std::strcmp(list.cell[k], c2[r]) == 0) second = true;
    }
    if (!(first && second)) continue;
    if (isExcluded) {
      for (const char* code2 : {c1[r], c2[r]}) {
        for (int k = 1; k < kCmdSecondaryRows; ++k) {
          if (std::strcmp(s2code[k], code2) == 0) {
            eflag[k][0] = '1';
            break;
          }
        }
      }
    } else {
      found = ctier[r][0];
    }
  }
  if (found != 'A') return found;
  return single_list(s2code, s2tier, s2rics, ric, list, true, true, eflag);
}

inline char tier(TableVersion version, const char* ric, const ComorbidCodeList& list) {
  switch (version) {
    case TableVersion::V240:
      return single_list(CmdICD240, CmdTier240, CmdRIC240, ric, list, false, false);
    case TableVersion::V250:
      return single_list(CmdICD250, CmdTier250, CmdRIC250, ric, list, false, false);
    case TableVersion::V260:
      return single_list(CmdICD260, CmdTier260, CmdRIC260, ric, list, false, false);
    case TableVersion::V270:
      return single_list(CmdICD260, CmdTier260, CmdRIC260, ric, list, true, false);
    case TableVersion::V282:
      return three_stage(CmdICD281s1, CmdTier281s1, CmdRIC281s1, CmdICD281c1, CmdICD281c2,
                         CmdTier281c, CmdRIC281c, CmdICD281s2, CmdTier281s2, CmdRIC281s2, ric,
                         list);
    case TableVersion::V290:
      return three_stage(CmdICD290s1, CmdTier290s1, CmdRIC290s1, CmdICD290c1, CmdICD290c2,
                         CmdTier290c, CmdRIC290c, CmdICD290s2, CmdTier290s2, CmdRIC290s2, ric,
                         list);
    case TableVersion::None:
      break;
  }
  return 'A';
}

}  // namespace cmg290::test::reference
