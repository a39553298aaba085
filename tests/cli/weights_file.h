// A weights file for `cmg290 report` and `cmg290 compare --weights` that
// gives every CMG of the grouper every tier letter, as read back from what
// the tool asks for (required_tiers of the compiled-in set, which gives
// every RIC every letter).
#pragma once

#include <regex>
#include <string>
#include <vector>

#include "report/weights.h"

namespace cmg290::cli_test {

// `cells(tier)` gives a row's weight and average length of stay ("1.5,10").
template <class Cells>
std::string full_weights(Cells cells) {
  std::vector<std::string> problems;
  cmg290::cli::report::WeightTable table;
  cmg290::cli::report::ReachableTiers all{};
  for (auto& ric : all) ric.fill(true);
  cmg290::cli::report::read_weights("w.csv", "cmg,tier,weight,average_los\n", all, table, problems);
  std::string text = "cmg,tier,weight,average_los\n";
  const std::regex missing("w.csv: no weight for cmg (\\d{4}) tier ([A-D])");
  for (const std::string& p : problems) {
    std::smatch m;
    if (std::regex_match(p, m, missing)) {
      text += m[1].str() + "," + m[2].str() + "," + cells(m[2].str()[0]) + "\n";
    }
  }
  return text;
}

inline std::string full_weights() {
  return full_weights([](char) { return std::string("1.5,10"); });
}

}  // namespace cmg290::cli_test
