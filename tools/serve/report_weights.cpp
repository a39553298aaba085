#include "report_weights.h"

#include <vector>

namespace cmg290::serve {

bool load_report_weights(const std::string& path, const TierSet& set, ReportWeights& weights,
                         std::string& error) {
  auto table = std::make_unique<cli::report::WeightTable>();
  std::string sha256;
  std::vector<std::string> problems;
  if (!cli::report::load_weights(path, cli::report::required_tiers(set), *table, sha256,
                                 problems)) {
    error = "the weights in " + path + " cannot be used:";
    for (const std::string& p : problems) error += "\n" + p;
    return false;
  }
  weights.table = std::move(table);
  weights.use = {path, sha256, weights.table.get()};
  return true;
}

}  // namespace cmg290::serve
