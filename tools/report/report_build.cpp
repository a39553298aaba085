#include "report_build.h"

#include <cstdio>

#include "exit_codes.h"
#include "report_scan.h"

namespace cmg290::cli::report {

int load_weights_file(const std::string& path, const ReachableTiers& required, WeightTable& table,
                      WeightsInUse& use) {
  std::vector<std::string> problems;
  if (load_weights(path, required, table, use.sha256, problems)) {
    use.file = path;
    use.table = &table;
    return kExitClean;
  }
  std::string text = "cmg290: the weights in " + path + " cannot be used:\n";
  for (const std::string& p : problems) text += p + "\n";
  std::fputs(text.c_str(), stderr);
  return kExitFatal;
}

bool build_figures(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& set,
                   const WeightsInUse* weights, unsigned threads, Figures& f, std::string& error) {
  ScanOptions options;
  options.threads = threads;
  options.weights = weights != nullptr ? weights->table : nullptr;
  // The tallies are large (a slot for every CMG number): on the heap.
  auto result = std::make_unique<ScanResult>();
  if (!scan(inputs, set, options, *result, error)) return false;

  std::vector<std::string> names;
  for (const auto& input : inputs) names.push_back(input->name);
  fill_figures(*result, names, set, weights, f);
  return true;
}

void fill_figures(const ScanResult& result, const std::vector<std::string>& names,
                  const TierSet& set, const WeightsInUse* weights, Figures& f) {
  f = Figures{};
  result.tally.fill(f, weights != nullptr);
  for (std::size_t i = 0; i < names.size(); ++i) {
    f.inputs.push_back({names[i], result.fileRecords[i]});
  }
  f.emptyLines = result.emptyLines;
  for (EditFigure& e : f.edits) {
    if (const EditInfo* info = find_edit(e.code)) {
      e.firstLines = result.firstLines[static_cast<int>(info->id)];
    }
  }
  f.setIdentity = set.identity();
  f.setJson = tier_set_json(set);
  f.setHoldsPlaceholders = set.holds_placeholders();
  if (weights != nullptr) {
    WeightsFigure w;
    w.file = weights->file;
    w.sha256 = weights->sha256;
    w.pairs = weights->table->pairs();
    w.missing = missing_pairs(result.tally, *weights->table);
    f.weights = std::move(w);
  }
}

}  // namespace cmg290::cli::report
