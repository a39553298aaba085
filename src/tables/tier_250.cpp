// Comorbidity tier list of table version 2.50: the single-code columns,
// built from tier/icd250.def.
#include "cmg290/tier_tables.h"

namespace {
constexpr int kEntries = 0
#define ROW(code, tier, rics) +1
#include "tier/icd250.def"
#undef ROW
    ;
static_assert(kEntries == 951 && kEntries + 1 == kCmd250Rows, "tier/icd250.def must hold 951 rows");
}  // namespace

const char CmdICD250[kCmd250Rows][8] = {
    " ",
#define ROW(code, tier, rics) code,
#include "tier/icd250.def"
#undef ROW
};

const char CmdTier250[kCmd250Rows][2] = {
    " ",
#define ROW(code, tier, rics) tier,
#include "tier/icd250.def"
#undef ROW
};

const char CmdRIC250[kCmd250Rows][20] = {
    " ",
#define ROW(code, tier, rics) rics,
#include "tier/icd250.def"
#undef ROW
};
