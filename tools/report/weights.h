// The relative weights a user gives `cmg290 report --weights FILE`: a CSV
// file with the header "cmg,tier,weight,average_los" and one row per CMG
// and tier letter ("0101,A,1.2345,12.5"); the average length of stay may be
// empty.
//
// The file is checked as a tier-table set is: every fault is named as
// "FILE:LINE: reason" (line 0, "FILE: reason", for what concerns the whole
// file), and a file with any fault is not used. Which pairs it must give
// (required_tiers): for every CMG of the grouper's table, tier A, and each
// of B, C and D that some row of the tier-table set in use gives to the
// CMG's RIC. A pair no record can get may be given or left out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cmg290/tier_set.h"
#include "figures.h"

namespace cmg290::cli::report {

// Decimals a weight or an average length of stay may have.
inline constexpr int kWeightDecimals = 6;

class WeightTable {
 public:
  static constexpr std::int64_t kNone = -1;

  // The weight of a CMG number (0 to 9999) and tier letter in millionths,
  // or kNone.
  std::int64_t weight(int cmg, char tier) const {
    const int i = slot(cmg, tier);
    return i < 0 ? kNone : weights_[i];
  }
  // The average length of stay in millionths of a day, or kNone.
  std::int64_t average_los(int cmg, char tier) const {
    const int i = slot(cmg, tier);
    return i < 0 ? kNone : los_[i];
  }
  std::size_t pairs() const { return pairs_; }

  void set(int cmg, char tier, std::int64_t weight, std::int64_t los);

  static int slot(int cmg, char tier) {
    if (cmg < 0 || cmg > 9999 || tier < 'A' || tier > 'D') return -1;
    return cmg * 4 + (tier - 'A');
  }

 private:
  std::vector<std::int64_t> weights_ = std::vector<std::int64_t>(40000, kNone);
  std::vector<std::int64_t> los_ = std::vector<std::int64_t>(40000, kNone);
  std::size_t pairs_ = 0;
};

// What one grouped record adds to a Weighted: its CMG number (-1 for none)
// and tier letter either have a weight, with or without an average length
// of stay, or the record is counted as without one.
Weighted weigh(const WeightTable& weights, int cmg, char tier);

// The tier letters a record of each RIC ("00" to "99") can get with `set`:
// [ric][0..3] for A to D. A always; B to D when some row of some list of
// the set has that letter and does not exclude the RIC.
using ReachableTiers = std::array<std::array<bool, 4>, 100>;
ReachableTiers required_tiers(const TierSet& set);

// A decimal number of at most six digits before the point and
// kWeightDecimals after it, no sign, in millionths; false when the text is
// not one.
bool parse_micros(std::string_view text, std::int64_t& micros);

// Reads and checks the weights in `text` (named `file` in the problems).
// Returns true with `table` filled when there is no problem.
bool read_weights(const std::string& file, std::string_view text, const ReachableTiers& required,
                  WeightTable& table, std::vector<std::string>& problems);

// Loads `path`: false with the problems (or the reason it cannot be read)
// in `problems`; `sha256` gets the digest of the file's bytes.
bool load_weights(const std::string& path, const ReachableTiers& required, WeightTable& table,
                  std::string& sha256, std::vector<std::string>& problems);

}  // namespace cmg290::cli::report
