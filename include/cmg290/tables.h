// The impairment and CMG tables, exported under their plain names so that
// users and tools can inspect them. Every cell is a zero-terminated text;
// row 0 of every column is blank and is never an entry.
#pragma once

#include "cmg290/export.h"

// Impairment group codes (rows 1-85) and the RIC of each.
inline constexpr int kImpairmentRows = 86;
CMG290_API extern const char Imp240[kImpairmentRows][10];
CMG290_API extern const char Ric240[kImpairmentRows][3];

// CMG table (rows 1-87): RIC, motor band in tenths, optional cognitive and
// age bands (a cell of one blank sets no bound), and the CMG code.
inline constexpr int kCmgRows = 88;
CMG290_API extern const char RicCode[kCmgRows][3];
CMG290_API extern const char MotLow[kCmgRows][4];
CMG290_API extern const char MotHigh[kCmgRows][4];
CMG290_API extern const char CogLow[kCmgRows][3];
CMG290_API extern const char CogHigh[kCmgRows][3];
CMG290_API extern const char AgeLow[kCmgRows][4];
CMG290_API extern const char AgeHigh[kCmgRows][4];
CMG290_API extern const char CMG[kCmgRows][5];
