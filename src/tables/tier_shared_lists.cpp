// The pair and secondary lists of versions 2.82 and 2.90: the same entries,
// each version with columns of its own, with the entry counts and cell
// widths of the catalogue (tier_lists.def).
#include <string_view>

#include "cmg290/tier_tables.h"
#include "tables/tier_catalogue.h"

namespace {
constexpr const cmg290::tables::TierListInfo& kPairs =
    cmg290::tables::tier_list(cmg290::TierSetList::Pair);
constexpr const cmg290::tables::TierListInfo& kSecondary =
    cmg290::tables::tier_list(cmg290::TierSetList::Secondary);
}  // namespace

static_assert(0
#define PAIR(code1, code2, tier, rics) +1
#include "tables/tier/pairs.def"
#undef PAIR
                      == kPairs.entries &&
                  kPairs.rows() == kCmdPairRows && std::string_view(kPairs.file) == "pairs.def" &&
                  std::string_view(kPairs.codeRow0) == "        " &&
                  std::string_view(kPairs.ricsRow0) == " ",
              "tier/pairs.def as the catalogue has it");

static_assert(0
#define ROW(code, tier, rics) +1
#include "tables/tier/secondary.def"
#undef ROW
                      == kSecondary.entries &&
                  kSecondary.rows() == kCmdSecondaryRows &&
                  std::string_view(kSecondary.file) == "secondary.def" &&
                  std::string_view(kSecondary.codeRow0) == "        " &&
                  std::string_view(kSecondary.ricsRow0) == " ",
              "tier/secondary.def as the catalogue has it");

#define VERSION 281
#include "tables/tier_shared_lists.inc"
#undef VERSION

#define VERSION 290
#include "tables/tier_shared_lists.inc"
#undef VERSION
