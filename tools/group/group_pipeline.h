// Batch grouping of record files: one record per line in, one result per
// record out, in input order.
//
// The input is read in fixed-size chunks of whole lines by one thread,
// grouped by a pool of worker threads and written out in order by the
// calling thread. A fixed number of chunks circulates between them, so
// memory stays bounded whatever the size of the input.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "result_format.h"
#include "shared/tier_set_options.h"

namespace cmg290::cli {

struct GroupOptions {
  std::vector<std::string> inputs;  // "-" is standard input; empty means standard input
  std::string output;               // empty or "-" is standard output
  Format format = Format::Csv;
  unsigned threads = 1;
  bool withId = false;
  std::size_t idStart = 0;  // 0-based
  std::size_t idLength = 0;
  bool strict = false;
  bool quiet = false;
  bool failOnUngrouped = false;  // exit kExitFlagged when some record was not grouped
  TierSetChoice tierSet;
  bool failOnPlaceholder = false;  // exit kExitFlagged when some tier letter came from a
                                   // placeholder row
  bool edits = false;              // each row carries the record's edits (cmg290/edits.h)
};

// Loads the tier-table set, groups the inputs into the output, prints the
// summary unless quiet, and returns the exit code (exit_codes.h). A record that cannot be grouped
// is a result like any other: the run is clean unless failOnUngrouped.
int run_group(const GroupOptions& options);

}  // namespace cmg290::cli
