// The relative weights of `serve --weights`, loaded and checked once at
// start, for the case-mix index of POST /v1/report.
#pragma once

#include <memory>
#include <string>

#include "cmg290/tier_set.h"
#include "report/report_build.h"
#include "report/weights.h"

namespace cmg290::serve {

struct ReportWeights {
  std::unique_ptr<cli::report::WeightTable> table;
  cli::report::WeightsInUse use;

  // Null without a weights file.
  const cli::report::WeightsInUse* in_use() const { return table ? &use : nullptr; }
};

// Loads `path` and checks it against `set` as `cmg290 report --weights`
// does. False with every problem, one a line, in `error`.
bool load_report_weights(const std::string& path, const TierSet& set, ReportWeights& weights,
                         std::string& error);

}  // namespace cmg290::serve
