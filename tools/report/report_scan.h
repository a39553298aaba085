// The reading and grouping of `cmg290 report`: every record of the inputs
// grouped with one tier-table set, its edits found, and everything counted.
//
// It runs on the chunk queue that `cmg290 group` and `cmg290 compare` run on
// (shared/chunk_queue.h): one thread cuts the inputs into chunks of whole
// lines, worker threads group each chunk into a tally of their own
// (report_tally.h), and the calling thread takes the chunks back in input
// order, numbering their lines, so that the first lines of each edit are
// the first of the input. Lines are read as by `cmg290 group`.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"
#include "figures.h"
#include "report_tally.h"
#include "shared/record_inputs.h"
#include "weights.h"

namespace cmg290::cli::report {

struct ScanOptions {
  unsigned threads = 1;
  const WeightTable* weights = nullptr;  // count the case-mix index with these
};

struct ScanResult {
  Tally tally;
  std::uint64_t emptyLines = 0;
  std::vector<std::uint64_t> fileRecords;  // per input
  // Per edit code, its first lines in input order, at most kFirstLines.
  std::array<std::vector<LineRef>, kEditCount> firstLines;
};

// Groups every record of `inputs` with `set`. False with a one-line message
// in `error` when an input cannot be read or a thread cannot be started.
bool scan(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& set,
          const ScanOptions& options, ScanResult& result, std::string& error);

}  // namespace cmg290::cli::report
