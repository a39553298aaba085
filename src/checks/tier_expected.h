// What the comorbidity tier tables must hold, for the checks behind
// tier_validate.h: the rows every version's lists fix, the entries by which
// one version differs from the previous one, and the number of entries that
// carry each excluded-RIC list. Kept apart from the .def data files on
// purpose, so that a replaced data file is checked against these facts rather
// than against itself. The generator of the data files
// (src/tables/tier/tier_list_rows.py) reads these arrays too: keep each an
// `inline constexpr` array of braced rows of literals.
#pragma once

#include <array>
#include <string_view>

namespace cmg290::tables::expected {

struct Entry {
  std::string_view code;
  std::string_view tier;
  std::string_view rics;
};

struct Pair {
  std::string_view code1;
  std::string_view code2;
  std::string_view tier;
  std::string_view rics;
};

// RICs that an excluded-RIC list may name.
inline constexpr std::array<std::string_view, 11> kRics = {"01", "02", "03", "05", "06", "08",
                                                           "09", "10", "11", "14", "15"};

// ---------------------------------------------------------------------------
// 2.40, 2.50 and 2.60 (2.70 uses the 2.60 list)

// Rows 1-19 of all three lists: the B group (1-8) and the C group (9-19).
inline constexpr Entry kEarlyRows[] = {
    {"478.31", "B", "15"}, {"478.32", "B", "15"}, {"478.33", "B", "15"}, {"478.34", "B", "15"},
    {"478.6", "B", "15"},  {"V44.0", "B", " "},   {"V45.11", "B", " "},  {"V55.0", "B", " "},
    {"008.42", "C", " "},  {"008.45", "C", " "},  {"041.7", "C", " "},   {"438.82", "C", "01"},
    {"579.3", "C", " "},   {"787.20", "C", "01"}, {"787.21", "C", "01"}, {"787.22", "C", "01"},
    {"787.23", "C", "01"}, {"787.24", "C", "01"}, {"787.29", "C", "01"},
};

// The first three D entries (rows 20-22) of all three lists, and the last
// three of each.
inline constexpr Entry kEarlyFirstD[] = {
    {"011.00", "D", "15"}, {"011.01", "D", "15"}, {"011.02", "D", "15"}};
inline constexpr Entry kEarlyLastD240[] = {
    {"998.6", "D", " "}, {"999.1", "D", "03"}, {"999.31", "D", " "}};
inline constexpr Entry kEarlyLastD260[] = {
    {"999.31", "D", " "}, {"999.32", "D", " "}, {"999.33", "D", " "}};

// The only codes of three characters (kept with their dot) in each list.
inline constexpr std::string_view kEarlyThreeChar[] = {"037.", "042.", "048.", "430.", "431.",
                                                       "436.", "449.", "452.", "481.", "485.",
                                                       "486.", "514.", "515.", "570."};

// D entries that 2.50 drops from 2.40 and adds to it, then those that 2.60
// drops from 2.50 and adds to it.
inline constexpr Entry kDrop250[] = {{"488.0", "D", "15"}, {"488.1", "D", "15"}};
inline constexpr Entry kAdd250[] = {
    {"488.01", "D", "15"}, {"488.02", "D", "15"}, {"488.09", "D", "15"}, {"488.11", "D", "15"},
    {"488.12", "D", "15"}, {"488.19", "D", "15"}, {"780.66", "D", " "}};
inline constexpr Entry kDrop260[] = {
    {"284.1", "D", " "}, {"518.5", "D", "15"}, {"998.0", "D", " "}};
inline constexpr Entry kAdd260[] = {
    {"284.11", "D", " "},  {"284.12", "D", " "},  {"284.19", "D", " "},  {"998.00", "D", " "},
    {"998.01", "D", " "},  {"998.02", "D", " "},  {"998.09", "D", " "},  {"999.32", "D", " "},
    {"999.33", "D", " "},  {"415.13", "D", "15"}, {"488.81", "D", "15"}, {"516.31", "D", "15"},
    {"516.32", "D", "15"}, {"516.33", "D", "15"}, {"516.34", "D", "15"}, {"518.51", "D", "15"},
    {"518.52", "D", "15"}, {"518.53", "D", "15"}, {"793.19", "D", "15"}};

// Entries carrying each excluded-RIC list in 2.40, 2.50 and 2.60.
struct EarlyRicCount {
  std::string_view rics;
  int in240;
  int in250;
  int in260;
};
inline constexpr EarlyRicCount kEarlyRicCounts[] = {
    {" ", 433, 434, 441},  {"15", 202, 206, 215}, {"03", 64, 64, 64},    {"03,05", 63, 63, 63},
    {"14", 43, 43, 43},    {"01", 39, 39, 39},    {"09", 38, 38, 38},    {"05", 22, 22, 22},
    {"06", 10, 10, 10},    {"03,09", 7, 7, 7},    {"09,10,11", 7, 7, 7}, {"02,03", 5, 5, 5},
    {"01,02,03", 4, 4, 4}, {"10,11", 4, 4, 4},    {"01,03", 2, 2, 2},    {"10", 2, 2, 2},
    {"08", 1, 1, 1},
};

// ---------------------------------------------------------------------------
// 2.82 and 2.90

// Rows 1-23 of both lists: the B group (1-6) and the C group (7-23).
inline constexpr Entry kLateRows[] = {
    {"J38.01^^", "B", "15"}, {"J38.02^^", "B", "15"}, {"J38.4^^^", "B", "15"},
    {"Z43.0^^^", "B", " "},  {"Z93.0^^^", "B", " "},  {"Z99.2^^^", "B", " "},
    {"A04.7^^^", "C", " "},  {"A04.8^^^", "C", " "},  {"B96.5^^^", "C", " "},
    {"I69.091^", "C", "01"}, {"I69.191^", "C", "01"}, {"I69.291^", "C", "01"},
    {"I69.391^", "C", "01"}, {"I69.891^", "C", "01"}, {"I69.991^", "C", "01"},
    {"K91.2^^^", "C", " "},  {"R13.0^^^", "C", "01"}, {"R13.10^^", "C", "01"},
    {"R13.11^^", "C", "01"}, {"R13.12^^", "C", "01"}, {"R13.13^^", "C", "01"},
    {"R13.14^^", "C", "01"}, {"R13.19^^", "C", "01"},
};

// The first three D entries (rows 24-26) and the last three of both lists.
inline constexpr Entry kLateFirstD[] = {
    {"A02.1^^^", "D", " "}, {"A15.0^^^", "D", "15"}, {"A15.4^^^", "D", "15"}};
inline constexpr Entry kLateLastD[] = {{"T87.42^^", "D", "09, 10, 11"},
                                       {"T87.43^^", "D", "09, 10, 11"},
                                       {"T87.44^^", "D", "09, 10, 11"}};

// Each single-code list holds this many three-character categories
// ("A35.^^^^"), this one among them.
inline constexpr int kLateThreeCharCount = 20;
inline constexpr std::string_view kLateThreeCharNamed = "A35.^^^^";

// The diabetes codes of 2.82 that 2.90 replaces, four for one: family x
// suffix, stored as "E08.321^"; in 2.90 "E08.3211", "E08.3212", "E08.3213",
// "E08.3219". All carry " ".
inline constexpr std::string_view kDiabetesFamilies[] = {"E08", "E09", "E10", "E11", "E13"};
inline constexpr std::string_view kDiabetesSuffixes[] = {".321", ".329", ".331", ".339",
                                                         ".341", ".349", ".351", ".359"};
inline constexpr std::string_view kDiabetesFinal[] = {"1", "2", "3", "9"};

// The other entries that 2.90 drops from 2.82 and adds to it.
inline constexpr Entry kDrop290[] = {{"I60.20^^", "D", "01, 02, 03"},
                                     {"I60.21^^", "D", "01, 02, 03"},
                                     {"I60.22^^", "D", "01, 02, 03"},
                                     {"J98.5^^^", "D", "15"},
                                     {"K55.0^^^", "D", " "}};
inline constexpr Entry kAdd290[] = {
    {"I60.2^^^", "D", "01, 02, 03"}, {"J98.51^^", "D", "15"}, {"J98.59^^", "D", "15"},
    {"K55.011^", "D", " "},          {"K55.012^", "D", " "},  {"K55.019^", "D", " "},
    {"K55.021^", "D", " "},          {"K55.022^", "D", " "},  {"K55.029^", "D", " "},
    {"K55.031^", "D", " "},          {"K55.032^", "D", " "},  {"K55.039^", "D", " "},
    {"K55.041^", "D", " "},          {"K55.042^", "D", " "},  {"K55.049^", "D", " "},
    {"K55.051^", "D", " "},          {"K55.052^", "D", " "},  {"K55.059^", "D", " "},
    {"K55.061^", "D", " "},          {"K55.062^", "D", " "},  {"K55.069^", "D", " "},
    {"I63.013^", "D", "01"},         {"I63.033^", "D", "01"}, {"I63.113^", "D", "01"},
    {"I63.133^", "D", "01"},         {"I63.213^", "D", "01"}, {"I63.233^", "D", "01"},
    {"I63.313^", "D", "01"},         {"I63.323^", "D", "01"}, {"I63.333^", "D", "01"},
    {"I63.343^", "D", "01"},         {"I63.413^", "D", "01"}, {"I63.423^", "D", "01"},
    {"I63.433^", "D", "01"},         {"I63.443^", "D", "01"}, {"I63.513^", "D", "01"},
    {"I63.523^", "D", "01"},         {"I63.533^", "D", "01"}, {"I63.543^", "D", "01"}};

// Entries of both lists that exclude RICs 01, 02 and 03. The compiled 2.90
// list writes them "01, 02, 03 ", with a trailing blank that changes nothing:
// the checks compare the RICs a list names (tier_check.h, ric_set), so a list
// that writes them without it, or in another order, fits as well.
inline constexpr std::string_view kI60Codes[] = {"I60.00^^", "I60.01^^", "I60.02^^", "I60.10^^",
                                                 "I60.11^^", "I60.12^^", "I60.30^^", "I60.31^^",
                                                 "I60.32^^", "I60.4^^^"};
inline constexpr std::string_view kI60Rics = "01, 02, 03";

// Entries carrying each excluded-RIC list in 2.82 and 2.90, counted by the
// RICs they name (the ten "01, 02, 03 " entries of 2.90 among "01, 02, 03").
struct LateRicCount {
  std::string_view rics;
  int in282;
  int in290;
};
inline constexpr LateRicCount kLateRicCounts[] = {
    {" ", 485, 622},        {"15", 132, 133},   {"01", 114, 132},     {"03", 47, 47},
    {"14", 40, 40},         {"03, 05", 35, 35}, {"06", 26, 26},       {"09", 24, 24},
    {"01, 02, 03", 34, 32}, {"10, 11", 22, 22}, {"10", 12, 12},       {"02, 03", 8, 8},
    {"05", 8, 8},           {"08", 6, 6},       {"09, 10, 11", 6, 6}, {"01, 03", 2, 2},
    {"03, 09", 1, 1},
};

// The pair list of 2.82 and 2.90, all 63 entries in row order.
inline constexpr Pair kPairs[] = {
    {"B39.4^^^", "G02.^^^^", "D", "03, 05"}, {"B39.4^^^", "H32.^^^^", "D", " "},
    {"B39.4^^^", "I32.^^^^", "D", "14"},     {"B39.4^^^", "I39.^^^^", "D", "14"},
    {"B39.5^^^", "G02.^^^^", "D", "03, 05"}, {"B39.5^^^", "H32.^^^^", "D", " "},
    {"B39.5^^^", "I32.^^^^", "D", "14"},     {"B39.5^^^", "I39.^^^^", "D", "14"},
    {"B39.5^^^", "J17.^^^^", "D", "15"},     {"B39.9^^^", "G02.^^^^", "D", "03, 05"},
    {"B39.9^^^", "H32.^^^^", "D", " "},      {"B39.9^^^", "I32.^^^^", "D", "14"},
    {"B39.9^^^", "I39.^^^^", "D", "14"},     {"B39.9^^^", "J17.^^^^", "D", "15"},
    {"E08.21^^", "E08.65^^", "D", " "},      {"E09.21^^", "E08.65^^", "D", " "},
    {"E08.40^^", "E08.65^^", "D", " "},      {"E09.40^^", "E08.65^^", "D", " "},
    {"E08.51^^", "E08.65^^", "D", " "},      {"E09.51^^", "E08.65^^", "D", " "},
    {"E08.69^^", "E08.65^^", "D", " "},      {"E09.69^^", "E08.65^^", "D", " "},
    {"E08.8^^^", "E08.65^^", "D", " "},      {"E09.8^^^", "E08.65^^", "D", " "},
    {"E11.21^^", "E11.65^^", "D", " "},      {"E10.21^^", "E10.65^^", "D", " "},
    {"E11.311^", "E11.65^^", "D", " "},      {"E11.319^", "E11.65^^", "D", " "},
    {"E11.36^^", "E11.65^^", "D", " "},      {"E11.39^^", "E11.65^^", "D", " "},
    {"E10.311^", "E10.65^^", "D", " "},      {"E10.319^", "E10.65^^", "D", " "},
    {"E10.36^^", "E10.65^^", "D", " "},      {"E10.39^^", "E10.65^^", "D", " "},
    {"E11.40^^", "E11.65^^", "D", "06"},     {"E10.40^^", "E10.65^^", "D", "06"},
    {"E11.51^^", "E11.65^^", "D", " "},      {"E10.51^^", "E10.65^^", "D", " "},
    {"E11.69^^", "E11.65^^", "D", " "},      {"E10.69^^", "E10.65^^", "D", " "},
    {"E11.8^^^", "E11.65^^", "D", " "},      {"K25.0^^^", "K56.60^^", "D", " "},
    {"K25.1^^^", "K56.60^^", "D", " "},      {"K25.2^^^", "K56.60^^", "D", " "},
    {"K25.4^^^", "K56.60^^", "D", " "},      {"K25.5^^^", "K56.60^^", "D", " "},
    {"K25.6^^^", "K56.60^^", "D", " "},      {"K26.0^^^", "K56.60^^", "D", " "},
    {"K26.1^^^", "K56.60^^", "D", " "},      {"K26.2^^^", "K56.60^^", "D", " "},
    {"K26.4^^^", "K56.60^^", "D", " "},      {"K26.5^^^", "K56.60^^", "D", " "},
    {"K26.6^^^", "K56.60^^", "D", " "},      {"T80.0XXA", "I26.90^^", "D", "15"},
    {"T81.718A", "I26.90^^", "D", "15"},     {"T81.72XA", "I26.90^^", "D", "15"},
    {"T82.817A", "I26.90^^", "D", "15"},     {"T82.818A", "I26.90^^", "D", "15"},
    {"T80.0XXA", "I26.99^^", "D", "15"},     {"T81.718A", "I26.99^^", "D", "15"},
    {"T81.72XA", "I26.99^^", "D", "15"},     {"T82.817A", "I26.99^^", "D", "15"},
    {"T82.818A", "I26.99^^", "D", "15"},
};

// The secondary list of 2.82 and 2.90, all 48 entries in row order; every
// Eflag holds "0".
inline constexpr Entry kSecondary[] = {
    {"B39.4^^^", "D", "15"},     {"B39.5^^^", "D", " "},  {"B39.9^^^", "D", "15"},
    {"E08.21^^", "D", " "},      {"E08.40^^", "D", "06"}, {"E08.51^^", "D", " "},
    {"E08.65^^", "D", " "},      {"E08.69^^", "D", " "},  {"E09.21^^", "D", " "},
    {"E09.40^^", "D", "06"},     {"E09.51^^", "D", " "},  {"E09.69^^", "D", " "},
    {"E10.21^^", "D", " "},      {"E10.311^", "D", " "},  {"E10.319^", "D", " "},
    {"E10.36^^", "D", " "},      {"E10.39^^", "D", " "},  {"E10.40^^", "D", "06"},
    {"E10.51^^", "D", " "},      {"E10.65^^", "D", " "},  {"E10.69^^", "D", " "},
    {"E11.21^^", "D", " "},      {"E11.311^", "D", " "},  {"E11.319^", "D", " "},
    {"E11.36^^", "D", " "},      {"E11.39^^", "D", " "},  {"E11.40^^", "D", "06"},
    {"E11.51^^", "D", " "},      {"E11.65^^", "D", " "},  {"E11.69^^", "D", " "},
    {"G02.^^^^", "D", "03, 05"}, {"I26.90^^", "D", "15"}, {"I26.99^^", "D", "15"},
    {"I39.^^^^", "D", "14"},     {"J17.^^^^", "D", "15"}, {"K25.0^^^", "D", " "},
    {"K25.1^^^", "D", " "},      {"K25.2^^^", "D", " "},  {"K25.4^^^", "D", " "},
    {"K25.5^^^", "D", " "},      {"K25.6^^^", "D", " "},  {"K26.0^^^", "D", " "},
    {"K26.1^^^", "D", " "},      {"K26.2^^^", "D", " "},  {"K26.4^^^", "D", " "},
    {"K26.5^^^", "D", " "},      {"K26.6^^^", "D", " "},  {"T80.0XXA", "D", "03"},
};

}  // namespace cmg290::tables::expected
