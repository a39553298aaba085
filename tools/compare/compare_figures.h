// compare's counts as the figures of a change of the tier lists, the one
// structure its page and JSON are written from (report/change_figures.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"
#include "compare_scan.h"
#include "report/change_figures.h"
#include "report/report_build.h"

namespace cmg290::cli::compare {

report::ChangeFigures change_figures(const Counts& counts,
                                     const std::vector<std::unique_ptr<batch::Input>>& inputs,
                                     const TierSet& old, const TierSet& now,
                                     const report::WeightsInUse* weights);

}  // namespace cmg290::cli::compare
