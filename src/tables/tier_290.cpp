// Comorbidity tier lists of table version 2.90: the single-code columns,
// built from tier/icd290s1.def, and the pair and secondary columns, built
// from tier/pairs.def and tier/secondary.def, which 2.82 and 2.90 share.
#include "cmg290/tier_tables.h"

namespace {
constexpr int kSingleEntries = 0
#define ROW(code, tier, rics) +1
#include "tier/icd290s1.def"
#undef ROW
    ;
static_assert(kSingleEntries == 1156 && kSingleEntries + 1 == kCmd290s1Rows,
              "tier/icd290s1.def must hold 1156 rows");

constexpr int kPairEntries = 0
#define PAIR(code1, code2, tier, rics) +1
#include "tier/pairs.def"
#undef PAIR
    ;
static_assert(kPairEntries == 63 && kPairEntries + 1 == kCmdPairRows,
              "tier/pairs.def must hold 63 rows");

constexpr int kSecondaryEntries = 0
#define ROW(code, tier, rics) +1
#include "tier/secondary.def"
#undef ROW
    ;
static_assert(kSecondaryEntries == 48 && kSecondaryEntries + 1 == kCmdSecondaryRows,
              "tier/secondary.def must hold 48 rows");
}  // namespace

// Single codes.
const char CmdICD290s1[kCmd290s1Rows][9] = {
    "        ",
#define ROW(code, tier, rics) code,
#include "tier/icd290s1.def"
#undef ROW
};

const char CmdTier290s1[kCmd290s1Rows][3] = {
    " ",
#define ROW(code, tier, rics) tier,
#include "tier/icd290s1.def"
#undef ROW
};

const char CmdRIC290s1[kCmd290s1Rows][21] = {
    "  ",
#define ROW(code, tier, rics) rics,
#include "tier/icd290s1.def"
#undef ROW
};

// Pairs.
const char CmdICD290c1[kCmdPairRows][9] = {
    "        ",
#define PAIR(code1, code2, tier, rics) code1,
#include "tier/pairs.def"
#undef PAIR
};

const char CmdICD290c2[kCmdPairRows][9] = {
    "        ",
#define PAIR(code1, code2, tier, rics) code2,
#include "tier/pairs.def"
#undef PAIR
};

const char CmdTier290c[kCmdPairRows][3] = {
    " ",
#define PAIR(code1, code2, tier, rics) tier,
#include "tier/pairs.def"
#undef PAIR
};

const char CmdRIC290c[kCmdPairRows][21] = {
    " ",
#define PAIR(code1, code2, tier, rics) rics,
#include "tier/pairs.def"
#undef PAIR
};

// Secondary codes, with their Eflags: "0" in every entry row.
const char CmdICD290s2[kCmdSecondaryRows][9] = {
    "        ",
#define ROW(code, tier, rics) code,
#include "tier/secondary.def"
#undef ROW
};

const char CmdTier290s2[kCmdSecondaryRows][3] = {
    " ",
#define ROW(code, tier, rics) tier,
#include "tier/secondary.def"
#undef ROW
};

const char CmdRIC290s2[kCmdSecondaryRows][21] = {
    " ",
#define ROW(code, tier, rics) rics,
#include "tier/secondary.def"
#undef ROW
};

const char CmdEflag290s2[kCmdSecondaryRows][3] = {
    " ",
#define ROW(code, tier, rics) "0",
#include "tier/secondary.def"
#undef ROW
};
