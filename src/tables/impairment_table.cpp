// Impairment group table: columns built from impairment.def.
#include "cmg290/tables.h"

namespace {
constexpr int kImpairmentEntries = 0
#define IMP(code, ric) +1
#include "tables/impairment.def"
#undef IMP
    ;
static_assert(kImpairmentEntries + 1 == kImpairmentRows, "impairment.def must hold 85 rows");
}  // namespace

const char Imp240[kImpairmentRows][10] = {
    "  ",
#define IMP(code, ric) code,
#include "tables/impairment.def"
#undef IMP
};

const char Ric240[kImpairmentRows][3] = {
    "  ",
#define IMP(code, ric) ric,
#include "tables/impairment.def"
#undef IMP
};
