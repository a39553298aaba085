// The comorbidity tier tables of every table version, exported under their
// plain names so that users and tools can inspect them.
//
// Each list is a group of parallel columns; row i of every column of a list
// describes the same entry. Every cell is a zero-terminated text padded with
// zero bytes to the cell width; row 0 of every column is blank and is never
// an entry, so the entries are rows 1 to kRows - 1.
//
//   code    (CmdICD...)  the comorbidity code, compared whole with a record's
//                        comorbid code ("478.31", "J38.01^^")
//   tier    (CmdTier...) "B", "C" or "D"
//   RICs    (CmdRIC...)  the RICs for which the entry does not count: " " for
//                        none, else "03,05" (2.40-2.60) or "03, 05" (2.82,
//                        2.90; some 2.90 lists end in a blank)
//   Eflag   (CmdEflag...) "0" in every entry row. These columns are never
//                        written: the tier search keeps the flags of a call
//                        in the call's own storage.
//
// Version 2.70 uses the 2.60 list. The pair and secondary lists of 2.82 and
// 2.90 are identical.
//
// In the single-code lists, entries are grouped B, then C, then D, each group
// in ascending byte order of the code. Most D entries are synthetic
// placeholders with the right structure (see the README).
#pragma once

#include "cmg290/export.h"

// The row count of every list (kCmd240Rows, ..., kCmdPairRows,
// kCmdSecondaryRows: its entries and the blank row 0) and the widths of its
// cells, from the catalogue of the lists (tier_lists.def).
#define CMG290_TIER_LIST(id, token, file, setFile, kind, first, last, entries, codeWidth, \
                         tierWidth, ricsWidth, codeRow0, ricsRow0)                        \
  inline constexpr int kCmd##token##Rows = (entries) + 1;                                 \
  namespace cmg290::tier_widths {                                                         \
  inline constexpr int k##token##Code = codeWidth, k##token##Tier = tierWidth,            \
                       k##token##Rics = ricsWidth;                                        \
  }
#include "cmg290/tier_lists.def"
#undef CMG290_TIER_LIST

// Single-code lists of 2.40, 2.50 and 2.60/2.70.
CMG290_API extern const char CmdICD240[kCmd240Rows][cmg290::tier_widths::k240Code];
CMG290_API extern const char CmdTier240[kCmd240Rows][cmg290::tier_widths::k240Tier];
CMG290_API extern const char CmdRIC240[kCmd240Rows][cmg290::tier_widths::k240Rics];
CMG290_API extern const char CmdICD250[kCmd250Rows][cmg290::tier_widths::k250Code];
CMG290_API extern const char CmdTier250[kCmd250Rows][cmg290::tier_widths::k250Tier];
CMG290_API extern const char CmdRIC250[kCmd250Rows][cmg290::tier_widths::k250Rics];
CMG290_API extern const char CmdICD260[kCmd260Rows][cmg290::tier_widths::k260Code];
CMG290_API extern const char CmdTier260[kCmd260Rows][cmg290::tier_widths::k260Tier];
CMG290_API extern const char CmdRIC260[kCmd260Rows][cmg290::tier_widths::k260Rics];

// Single-code lists of 2.82 and 2.90.
CMG290_API extern const char CmdICD281s1[kCmd281s1Rows][cmg290::tier_widths::k281s1Code];
CMG290_API extern const char CmdTier281s1[kCmd281s1Rows][cmg290::tier_widths::k281s1Tier];
CMG290_API extern const char CmdRIC281s1[kCmd281s1Rows][cmg290::tier_widths::k281s1Rics];
CMG290_API extern const char CmdICD290s1[kCmd290s1Rows][cmg290::tier_widths::k290s1Code];
CMG290_API extern const char CmdTier290s1[kCmd290s1Rows][cmg290::tier_widths::k290s1Tier];
CMG290_API extern const char CmdRIC290s1[kCmd290s1Rows][cmg290::tier_widths::k290s1Rics];

// Pair lists of 2.82 and 2.90: an entry counts when both its first code (c1)
// and its second code (c2) occur.
CMG290_API extern const char CmdICD281c1[kCmdPairRows][cmg290::tier_widths::kPairCode];
CMG290_API extern const char CmdICD281c2[kCmdPairRows][cmg290::tier_widths::kPairCode];
CMG290_API extern const char CmdTier281c[kCmdPairRows][cmg290::tier_widths::kPairTier];
CMG290_API extern const char CmdRIC281c[kCmdPairRows][cmg290::tier_widths::kPairRics];
CMG290_API extern const char CmdICD290c1[kCmdPairRows][cmg290::tier_widths::kPairCode];
CMG290_API extern const char CmdICD290c2[kCmdPairRows][cmg290::tier_widths::kPairCode];
CMG290_API extern const char CmdTier290c[kCmdPairRows][cmg290::tier_widths::kPairTier];
CMG290_API extern const char CmdRIC290c[kCmdPairRows][cmg290::tier_widths::kPairRics];

// Secondary lists of 2.82 and 2.90.
CMG290_API extern const char CmdICD281s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryCode];
CMG290_API extern const char CmdTier281s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryTier];
CMG290_API extern const char CmdRIC281s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryRics];
CMG290_API extern const char CmdEflag281s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryTier];
CMG290_API extern const char CmdICD290s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryCode];
CMG290_API extern const char CmdTier290s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryTier];
CMG290_API extern const char CmdRIC290s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryRics];
CMG290_API extern const char CmdEflag290s2[kCmdSecondaryRows][cmg290::tier_widths::kSecondaryTier];
