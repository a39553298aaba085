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

// Single-code lists of 2.40, 2.50 and 2.60/2.70 (946, 951 and 967 entries).
inline constexpr int kCmd240Rows = 947;
inline constexpr int kCmd250Rows = 952;
inline constexpr int kCmd260Rows = 968;
CMG290_API extern const char CmdICD240[kCmd240Rows][8];
CMG290_API extern const char CmdTier240[kCmd240Rows][8];
CMG290_API extern const char CmdRIC240[kCmd240Rows][20];
CMG290_API extern const char CmdICD250[kCmd250Rows][8];
CMG290_API extern const char CmdTier250[kCmd250Rows][2];
CMG290_API extern const char CmdRIC250[kCmd250Rows][20];
CMG290_API extern const char CmdICD260[kCmd260Rows][8];
CMG290_API extern const char CmdTier260[kCmd260Rows][2];
CMG290_API extern const char CmdRIC260[kCmd260Rows][20];

// Single-code lists of 2.82 and 2.90 (1002 and 1156 entries).
inline constexpr int kCmd281s1Rows = 1003;
inline constexpr int kCmd290s1Rows = 1157;
CMG290_API extern const char CmdICD281s1[kCmd281s1Rows][9];
CMG290_API extern const char CmdTier281s1[kCmd281s1Rows][3];
CMG290_API extern const char CmdRIC281s1[kCmd281s1Rows][21];
CMG290_API extern const char CmdICD290s1[kCmd290s1Rows][9];
CMG290_API extern const char CmdTier290s1[kCmd290s1Rows][3];
CMG290_API extern const char CmdRIC290s1[kCmd290s1Rows][21];

// Pair lists of 2.82 and 2.90 (63 entries): an entry counts when both its
// first code (c1) and its second code (c2) occur.
inline constexpr int kCmdPairRows = 64;
CMG290_API extern const char CmdICD281c1[kCmdPairRows][9];
CMG290_API extern const char CmdICD281c2[kCmdPairRows][9];
CMG290_API extern const char CmdTier281c[kCmdPairRows][3];
CMG290_API extern const char CmdRIC281c[kCmdPairRows][21];
CMG290_API extern const char CmdICD290c1[kCmdPairRows][9];
CMG290_API extern const char CmdICD290c2[kCmdPairRows][9];
CMG290_API extern const char CmdTier290c[kCmdPairRows][3];
CMG290_API extern const char CmdRIC290c[kCmdPairRows][21];

// Secondary lists of 2.82 and 2.90 (48 entries).
inline constexpr int kCmdSecondaryRows = 49;
CMG290_API extern const char CmdICD281s2[kCmdSecondaryRows][9];
CMG290_API extern const char CmdTier281s2[kCmdSecondaryRows][3];
CMG290_API extern const char CmdRIC281s2[kCmdSecondaryRows][21];
CMG290_API extern const char CmdEflag281s2[kCmdSecondaryRows][3];
CMG290_API extern const char CmdICD290s2[kCmdSecondaryRows][9];
CMG290_API extern const char CmdTier290s2[kCmdSecondaryRows][3];
CMG290_API extern const char CmdRIC290s2[kCmdSecondaryRows][21];
CMG290_API extern const char CmdEflag290s2[kCmdSecondaryRows][3];
