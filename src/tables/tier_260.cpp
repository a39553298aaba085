// Comorbidity tier list of table version 2.60 and 2.70: the single-code columns,
// built from tier/icd260.def.
#include "cmg290/tier_tables.h"

namespace {
constexpr int kEntries = 0
#define ROW(code, tier, rics) +1
#include "tier/icd260.def"
#undef ROW
    ;
static_assert(kEntries == 967 && kEntries + 1 == kCmd260Rows, "tier/icd260.def must hold 967 rows");
}  // namespace

const char CmdICD260[kCmd260Rows][8] = {
    " ",
#define ROW(code, tier, rics) code,
#include "tier/icd260.def"
#undef ROW
};

const char CmdTier260[kCmd260Rows][2] = {
    " ",
#define ROW(code, tier, rics) tier,
#include "tier/icd260.def"
#undef ROW
};

const char CmdRIC260[kCmd260Rows][20] = {
    " ",
#define ROW(code, tier, rics) rics,
#include "tier/icd260.def"
#undef ROW
};
