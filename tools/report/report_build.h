// A report's figures from record inputs: the scan (report_scan.h) over the
// inputs with one tier-table set, and optionally the weights, turned into
// the one structure both writers read. For `cmg290 report` and for any
// front end that shows a batch's figures.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"
#include "figures.h"
#include "report_scan.h"
#include "shared/record_inputs.h"
#include "weights.h"

namespace cmg290::cli::report {

struct WeightsInUse {
  std::string file;    // as named on the command line
  std::string sha256;  // of its bytes
  const WeightTable* table = nullptr;
};

// Loads and checks the weights file at `path` for the tier letters
// `required`, filling `table` and `use` (its file, digest and table), and
// returns kExitClean; on a fault writes every problem to standard error
// and returns kExitFatal.
int load_weights_file(const std::string& path, const ReachableTiers& required, WeightTable& table,
                      WeightsInUse& use);

// Groups every record of `inputs` (their names for the report in
// inputs[i]->name) and fills `f`. False with a one-line message in `error`
// when an input cannot be read or a thread cannot be started.
bool build_figures(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& set,
                   const WeightsInUse* weights, unsigned threads, Figures& f, std::string& error);

// The figures of a finished scan (or of records counted one by one with
// count_record): `names` are the inputs' names for the report, one for each
// of result.fileRecords.
void fill_figures(const ScanResult& result, const std::vector<std::string>& names,
                  const TierSet& set, const WeightsInUse* weights, Figures& f);

}  // namespace cmg290::cli::report
