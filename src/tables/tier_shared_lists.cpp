// The pair and secondary lists of versions 2.82 and 2.90: the same entries,
// each version with columns of its own.
#include "cmg290/tier_tables.h"

static_assert(0
#define PAIR(code1, code2, tier, rics) +1
#include "tables/tier/pairs.def"
#undef PAIR
                      == 63 &&
                  63 + 1 == kCmdPairRows,
              "tier/pairs.def must hold 63 rows");

static_assert(0
#define ROW(code, tier, rics) +1
#include "tables/tier/secondary.def"
#undef ROW
                      == 48 &&
                  48 + 1 == kCmdSecondaryRows,
              "tier/secondary.def must hold 48 rows");

#define VERSION 281
#include "tables/tier_shared_lists.inc"
#undef VERSION

#define VERSION 290
#include "tables/tier_shared_lists.inc"
#undef VERSION
