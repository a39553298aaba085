// Grouping with a loaded tier-table set: the grouping pass with the tier
// letter from the set's indexes, searched as the compiled-in lists are
// (tier_search.cpp).
#include "cmg290/tier_set.h"
#include "grouper/classify.h"
#include "grouper/pass_body.h"
#include "grouper/tier_scan.h"
#include "tiersets/set_data.h"

namespace cmg290::tiersets {

namespace {

using detail::ScannedCodes;
using detail::TableVersion;

TierHit single_list_tier(const RuntimeListIndex& list, TierSetList name, const ScannedCodes& codes,
                         int ric) {
  const int row = list.first_match<false>(codes.key, codes.count, ric, nullptr);
  return row == 0 ? TierHit{} : TierHit{list.tier[row], name, row};
}

// 2.82 and 2.90: the single-code list, then the pair list (every row is
// looked at; the last qualifying row's tier stands; a present pair excluded
// for the RIC bars its codes' secondary rows), then the secondary list.
TierHit three_stage_tier(const SetIndex& index, const RuntimeListIndex& single,
                         TierSetList singleName, const ScannedCodes& codes, int ric) {
  if (const int row = single.first_match<false>(codes.key, codes.count, ric, nullptr); row != 0) {
    return {single.tier[row], singleName, row};
  }
  const RuntimePairIndex& pairs = index.pairs;
  std::uint64_t present[kMaxBitWords] = {};
  bool anyPairCode = false;
  for (int i = 0; i < codes.count; ++i) {
    if (const int id = pairs.codeIds.find(codes.key[i]); id != 0) {
      present[(id - 1) / 64] |= std::uint64_t{1} << ((id - 1) % 64);
      anyPairCode = true;
    }
  }
  auto has = [&](int id) { return ((present[id / 64] >> (id % 64)) & 1) != 0; };

  TierHit hit;
  std::uint64_t barred[kMaxBitWords] = {};
  const std::size_t rows = pairs.tier.size();
  for (std::size_t r = 1; anyPairCode && r < rows; ++r) {
    if (!has(pairs.id1[r]) || !has(pairs.id2[r])) continue;
    if ((pairs.excluded[r] >> ric) & 1) {
      // Row 0 is never a secondary entry: a code without one sets bit 0 only.
      barred[pairs.bar1[r] / 64] |= std::uint64_t{1} << (pairs.bar1[r] % 64);
      barred[pairs.bar2[r] / 64] |= std::uint64_t{1} << (pairs.bar2[r] % 64);
    } else {
      hit = {pairs.tier[r], TierSetList::Pair, static_cast<int>(r)};
    }
  }
  if (hit.letter != 'A') return hit;

  const int row = index.secondary().first_match<true>(codes.key, codes.count, ric, barred);
  return row == 0 ? TierHit{} : TierHit{index.secondary().tier[row], TierSetList::Secondary, row};
}

}  // namespace

TierHit set_tier_hit(const SetIndex& index, TableVersion version, const char* ric,
                     const char* record) {
  if (version == TableVersion::None) return {};
  ScannedCodes codes;
  detail::scan_record(record, version, codes);
  const int ricNumber = detail::ric_number(ric);
  const tables::VersionLists& lists = tables::lists_of(version);
  const RuntimeListIndex& single = index.list(lists.single);
  if (!lists.pairStage) return single_list_tier(single, lists.single, codes, ricNumber);
  return three_stage_tier(index, single, lists.single, codes, ricNumber);
}

}  // namespace cmg290::tiersets

namespace cmg290 {

Result group(std::string_view record, const TierSet& set) noexcept {
  Result r{};
  const tiersets::SetIndex& index = set.data().index;
  detail::run_pass_with(record.data(), record.size(),
                        detail::Outputs{r.cmg, &r.status, r.motorScore, &r.cognitiveScore, &r.age,
                                        r.tableVersion, r.grouperVersion},
                        [&index](detail::TableVersion version, const char* ric, const char* full) {
                          return tiersets::set_tier_hit(index, version, ric, full).letter;
                        });
  return r;
}

Result group(std::string_view record, const TierSet& set, TierSource& source) noexcept {
  Result r{};
  source = TierSource{};
  const tiersets::SetIndex& index = set.data().index;
  detail::run_pass_with(record.data(), record.size(),
                        detail::Outputs{r.cmg, &r.status, r.motorScore, &r.cognitiveScore, &r.age,
                                        r.tableVersion, r.grouperVersion},
                        [&](detail::TableVersion version, const char* ric, const char* full) {
                          const tiersets::TierHit hit =
                              tiersets::set_tier_hit(index, version, ric, full);
                          if (hit.row != 0) {
                            source.list = hit.list;
                            source.row = hit.row;
                            source.placeholder = set.is_placeholder(hit.list, hit.row);
                          }
                          return hit.letter;
                        });
  return r;
}

}  // namespace cmg290
