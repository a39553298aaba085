// Comorbidity tier list of table version 2.40: the single-code columns,
// built from tier/icd240.def.
#include "cmg290/tier_tables.h"

namespace {
constexpr int kEntries = 0
#define ROW(code, tier, rics) +1
#include "tier/icd240.def"
#undef ROW
    ;
static_assert(kEntries == 946 && kEntries + 1 == kCmd240Rows, "tier/icd240.def must hold 946 rows");
}  // namespace

const char CmdICD240[kCmd240Rows][8] = {
    " ",
#define ROW(code, tier, rics) code,
#include "tier/icd240.def"
#undef ROW
};

const char CmdTier240[kCmd240Rows][8] = {
    " ",
#define ROW(code, tier, rics) tier,
#include "tier/icd240.def"
#undef ROW
};

const char CmdRIC240[kCmd240Rows][20] = {
    " ",
#define ROW(code, tier, rics) rics,
#include "tier/icd240.def"
#undef ROW
};
