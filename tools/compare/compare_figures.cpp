#include "compare_figures.h"

#include <algorithm>
#include <map>

namespace cmg290::cli::compare {

namespace {

report::ChangeSet change_set(const TierSet& set) {
  return {set.identity(), tier_set_json(set), set.holds_placeholders()};
}

}  // namespace

report::ChangeFigures change_figures(const Counts& counts,
                                     const std::vector<std::unique_ptr<batch::Input>>& inputs,
                                     const TierSet& old, const TierSet& now,
                                     const report::WeightsInUse* weights) {
  report::ChangeFigures f;
  f.old = change_set(old);
  f.now = change_set(now);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    f.inputs.push_back(
        {inputs[i]->name, i < counts.fileRecords.size() ? counts.fileRecords[i] : 0});
  }
  f.records = counts.records;
  f.grouped = counts.grouped;
  f.changed = counts.cmgChanged;
  f.transitions = counts.tierTransitions;
  for (std::size_t r = 0; r < counts.rics.size(); ++r) {
    if (counts.rics[r][0] == 0) continue;
    const char ric[] = {static_cast<char>('0' + r / 10), static_cast<char>('0' + r % 10), '\0'};
    f.rics.push_back({ric, counts.rics[r][0], counts.rics[r][1], counts.ricWeighted[r]});
  }

  // Changes away from and into each CMG, from the transitions.
  std::map<std::uint64_t, report::ChangeCmgFigure> cmgs;
  for (const auto& [key, n] : counts.transitions) {
    cmgs[key.first].changedAway += n;
    cmgs[key.second].changedIn += n;
  }
  std::vector<report::ChangeCmgFigure> changed;
  for (auto& [packed, g] : cmgs) {
    g.cmg = unpack_cmg(packed);
    if (g.cmg.empty()) g.cmg = "none";
    if (const auto at = counts.cmgs.find(packed); at != counts.cmgs.end()) {
      g.oldRecords = at->second[0];
      g.newRecords = at->second[1];
    }
    changed.push_back(g);
  }
  f.changedCmgs = changed.size();
  std::stable_sort(changed.begin(), changed.end(), [](const auto& x, const auto& y) {
    return x.changedAway + x.changedIn > y.changedAway + y.changedIn;
  });
  if (changed.size() > report::kTopCmgs) changed.resize(report::kTopCmgs);
  f.topCmgs = std::move(changed);

  if (weights != nullptr) {
    report::WeightsFigure w;
    w.file = weights->file;
    w.sha256 = weights->sha256;
    w.pairs = weights->table->pairs();
    f.weights = std::move(w);
    f.weighted = counts.weighted;
  }
  return f;
}

}  // namespace cmg290::cli::compare
