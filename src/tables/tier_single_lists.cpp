// The single-code tier lists of every table version (2.70 uses the 2.60
// list), each built from its data file in tier/.
#include "cmg290/tier_tables.h"

#define LIST 240
#define LIST_FILE "tier/icd240.def"
#define LIST_ENTRIES 946
#define CODE_WIDTH 8
#define TIER_WIDTH 8
#define RIC_WIDTH 20
#define CODE_ROW0 " "
#define RIC_ROW0 " "
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_FILE
#undef LIST_ENTRIES
#undef TIER_WIDTH

#define LIST 250
#define LIST_FILE "tier/icd250.def"
#define LIST_ENTRIES 951
#define TIER_WIDTH 2
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_FILE
#undef LIST_ENTRIES

#define LIST 260
#define LIST_FILE "tier/icd260.def"
#define LIST_ENTRIES 967
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_FILE
#undef LIST_ENTRIES
#undef CODE_WIDTH
#undef TIER_WIDTH
#undef RIC_WIDTH
#undef CODE_ROW0

// 2.82 and 2.90: eight-character codes filled with "^".
#define CODE_WIDTH 9
#define TIER_WIDTH 3
#define RIC_WIDTH 21
#define CODE_ROW0 "        "

#define LIST 281s1
#define LIST_FILE "tier/icd281s1.def"
#define LIST_ENTRIES 1002
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_FILE
#undef LIST_ENTRIES
#undef RIC_ROW0

#define LIST 290s1
#define LIST_FILE "tier/icd290s1.def"
#define LIST_ENTRIES 1156
#define RIC_ROW0 "  "
#include "tables/tier_single_list.inc"
