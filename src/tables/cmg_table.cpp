// CMG table: parallel columns built from cmg.def.
#include "cmg290/tables.h"

namespace {
constexpr int kCmgEntries = 0
#define CMGROW(...) +1
#include "tables/cmg.def"
#undef CMGROW
    ;
static_assert(kCmgEntries + 1 == kCmgRows, "cmg.def must hold 87 rows");
}  // namespace

const char RicCode[kCmgRows][3] = {
    "  ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) ric,
#include "tables/cmg.def"
#undef CMGROW
};
const char MotLow[kCmgRows][4] = {
    "   ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) ml,
#include "tables/cmg.def"
#undef CMGROW
};
const char MotHigh[kCmgRows][4] = {
    "   ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) mh,
#include "tables/cmg.def"
#undef CMGROW
};
const char CogLow[kCmgRows][3] = {
    "  ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) cl,
#include "tables/cmg.def"
#undef CMGROW
};
const char CogHigh[kCmgRows][3] = {
    "  ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) ch,
#include "tables/cmg.def"
#undef CMGROW
};
const char AgeLow[kCmgRows][4] = {
    "   ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) al,
#include "tables/cmg.def"
#undef CMGROW
};
const char AgeHigh[kCmgRows][4] = {
    "   ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) ah,
#include "tables/cmg.def"
#undef CMGROW
};
const char CMG[kCmgRows][5] = {
    "    ",
#define CMGROW(ric, ml, mh, cl, ch, al, ah, cmg) cmg,
#include "tables/cmg.def"
#undef CMGROW
};
