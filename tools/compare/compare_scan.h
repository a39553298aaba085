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

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cmg290/tier_set.h"
#include "report/weights.h"
#include "shared/record_inputs.h"

namespace cmg290::cli::compare {

// A CMG as five bytes ("D0101", "A    ") packed into an integer, to key the
// transitions without allocating per record.
std::uint64_t pack_cmg(const char* cmg);
std::string unpack_cmg(std::uint64_t packed);  // trailing blanks dropped

// Slots of Counts::tiers: the tier letters A to D, then records not grouped.
constexpr int kTierSlots = 5;
int tier_slot(char letter);

// The counts of a run, each read from the old set to the new one. A record's
// CMG is its tier letter and a number that the record alone decides, so the
// CMG changes exactly when the tier letter does, and only the CMG changes
// are counted.
struct Counts {
  std::uint64_t records = 0;  // lines that are not empty
  std::uint64_t grouped = 0;  // status 0 (the same with either set)
  std::uint64_t cmgChanged = 0;
  // Records by tier slot, with the old set [0] and with the new one [1].
  std::array<std::array<std::uint64_t, kTierSlots>, 2> tiers{};
  // Records that reached a CMG, by RIC (the CMG number's first two digits),
  // and how many of them changed CMG.
  std::array<std::array<std::uint64_t, 2>, 100> rics{};
  // CMG -> records with the old set, with the new one.
  std::map<std::uint64_t, std::array<std::uint64_t, 2>> cmgs;
  // (CMG with the old set, CMG with the new one) -> records.
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint64_t> transitions;
  // Records by tier slot with the old set [row] and with the new one.
  std::array<std::array<std::uint64_t, kTierSlots>, kTierSlots> tierTransitions{};
  // With weights: the grouped records' weights with the old set [0] and the
  // new one [1], in all and by RIC.
  std::array<report::Weighted, 2> weighted{};
  std::array<std::array<report::Weighted, 2>, 100> ricWeighted{};
  // Records of each input, by its index (filled by scan(), not by add()).
  std::vector<std::uint64_t> fileRecords;

  void add(const Counts& o);
};

// A record whose CMG differs between the sets.
struct Change {
  std::size_t file = 0;  // index of its input
  std::int64_t line = 0;
  cmg290::Result old, now;  // now: with the new set
  cmg290::TierSource sourceOld, sourceNew;
};

struct ScanOptions {
  unsigned threads = 1;
  bool wantChanges = false;                      // call onChange for every changed record
  const report::WeightTable* weights = nullptr;  // counts Counts::weighted when given
};

// Groups every record of `inputs` with both sets, `old` and `now`. onChange, on the calling
// thread and in input order, returns false to stop the run (its output
// failed). Returns false with a one-line message in `error` when an input
// cannot be read.
bool scan(const std::vector<std::unique_ptr<batch::Input>>& inputs, const cmg290::TierSet& old,
          const cmg290::TierSet& now, const ScanOptions& options,
          const std::function<bool(const Change&)>& onChange, Counts& counts, std::string& error);

}  // namespace cmg290::cli::compare
