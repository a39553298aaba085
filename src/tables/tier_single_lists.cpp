// The single-code tier lists of every table version (2.70 uses the 2.60
// list), each built from its data file in tier/, with the entry count and
// cell widths of the catalogue (tier_lists.def).
#include <string_view>

#include "cmg290/tier_tables.h"
#include "tables/tier_catalogue.h"

#define CODE_ROW0 " "
#define RIC_ROW0 " "

#define LIST 240
#define LIST_ID Single240
#define LIST_FILE "tier/icd240.def"
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_ID
#undef LIST_FILE

#define LIST 250
#define LIST_ID Single250
#define LIST_FILE "tier/icd250.def"
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_ID
#undef LIST_FILE

#define LIST 260
#define LIST_ID Single260
#define LIST_FILE "tier/icd260.def"
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_ID
#undef LIST_FILE
#undef CODE_ROW0

// 2.82 and 2.90: eight-character codes filled with "^".
#define CODE_ROW0 "        "

#define LIST 281s1
#define LIST_ID Single282
#define LIST_FILE "tier/icd281s1.def"
#include "tables/tier_single_list.inc"
#undef LIST
#undef LIST_ID
#undef LIST_FILE
#undef RIC_ROW0

#define LIST 290s1
#define LIST_ID Single290
#define LIST_FILE "tier/icd290s1.def"
#define RIC_ROW0 "  "
#include "tables/tier_single_list.inc"
