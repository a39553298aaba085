// The reading and grouping of `cmg290 compare`: every record of the inputs
// grouped with two tier-table sets, counted, and the records whose results
// differ handed over in input order.
//
// One thread cuts the inputs into chunks of whole lines (regular files shown
// in place through mapped windows, anything else read), worker threads
// group each chunk with both sets, and the calling thread takes the chunks
// back in input order, numbering their lines. Lines are read as by
// `cmg290 group` (chunk_cutter.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cmg290/tier_set.h"
#include "group_inputs.h"

namespace cmg290::cli::compare {

// A CMG as five bytes ("D0101", "A    ") packed into an integer, to key the
// transitions without allocating per record.
std::uint64_t pack_cmg(const char* cmg);
std::string unpack_cmg(std::uint64_t packed);  // trailing blanks dropped

struct Counts {
  std::uint64_t records = 0;  // lines that are not empty
  std::uint64_t grouped = 0;  // status 0 (the same with either set)
  std::uint64_t tierChanged = 0;
  std::uint64_t cmgChanged = 0;
  // (CMG with set A, CMG with set B) -> records.
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint64_t> transitions;

  void add(const Counts& o);
};

// A record whose CMG differs between the sets.
struct Change {
  std::size_t file = 0;  // index of its input
  std::int64_t line = 0;
  cmg290::Result a, b;
  cmg290::TierSource sourceA, sourceB;
};

struct ScanOptions {
  unsigned threads = 1;
  bool wantChanges = false;  // call onChange for every changed record
};

// Groups every record of `inputs` with both sets. onChange, on the calling
// thread and in input order, returns false to stop the run (its output
// failed). Returns false with a one-line message in `error` when an input
// cannot be read.
bool scan(const std::vector<std::unique_ptr<batch::Input>>& inputs, const cmg290::TierSet& a,
          const cmg290::TierSet& b, const ScanOptions& options,
          const std::function<bool(const Change&)>& onChange, Counts& counts, std::string& error);

}  // namespace cmg290::cli::compare
