// The counts of `cmg290 report` as one grouping thread gathers them, record
// by record, in arrays of fixed size: the threads' tallies are added up at
// the end and turned into the report's figures (figures.h). Nothing in a
// tally grows with the number of records.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "cmg290/record_layout.h"
#include "cmg290/status.h"
#include "figures.h"
#include "weights.h"

namespace cmg290::cli::report {

// Months of a version date counted one by one: the years 1900 to 2099.
inline constexpr int kFirstYear = 1900;
inline constexpr int kMonthSlots = 200 * 12;

// Table version labels told apart; any further one is counted as "other".
inline constexpr int kVersionSlots = 16;

// A version date as a number YYYYMMDD when it is eight digits with a month
// 01 to 12 and a day 01 to 31, else 0.
std::uint32_t version_date(std::string_view record);

struct Tally {
  static constexpr int kHighestStatus = cmg290::highest_status_code();
  static constexpr int kStatusSlots = kHighestStatus + 2;  // 0 to the highest, then any other
  static constexpr int kFieldSlots = static_cast<int>(kRecordFieldCount) + 1;  // + the record

  Tally();

  // Counts one record: its text, its result, whether its tier letter came
  // from a placeholder row, and its edits. With weights, the record's
  // weight (or its lack) is counted too.
  void add(std::string_view record, const Result& r, bool placeholder, const Edits& edits,
           const WeightTable* weights);
  void add(const Tally& o);

  // Turns the counts into the figures (all but the inputs, the set, the
  // weights file and the edits' first lines).
  void fill(Figures& f, bool withWeights) const;

  std::uint64_t records = 0;
  std::uint64_t byStatus[kStatusSlots] = {};
  std::array<std::uint64_t, kTierSlots> byTier{};
  std::uint64_t placeholders = 0;
  std::uint64_t tierWithoutCmg = 0;
  std::array<Histogram, kScaleCount> histograms{};

  // Grouped records by CMG number (0 to 9999) and tier slot.
  std::vector<std::array<std::uint64_t, kTierSlots>> cmgTiers;
  std::array<std::array<std::uint64_t, kTierSlots>, 100> ricTiers{};
  std::array<std::array<Histogram, kScaleCount>, 100> ricHistograms{};
  std::array<Weighted, 100> ricWeighted{};

  std::uint32_t firstDate = 0, lastDate = 0;
  std::uint64_t notADate = 0;
  std::vector<std::uint64_t> months;  // records per month since January kFirstYear
  std::vector<Weighted> monthWeighted;
  std::uint64_t outOfRangeMonths = 0;  // dates before kFirstYear or after its 200 years
  Weighted outOfRangeWeighted;

  struct VersionSlot {
    std::uint32_t label = 0;  // four bytes
    std::uint64_t records = 0;
    Weighted weighted;
  };
  std::array<VersionSlot, kVersionSlots + 1> versions{};  // the last: any other
  int versionCount = 0;

  std::uint64_t withEdits = 0;
  std::array<std::uint64_t, kEditCount> editRecords{};
  std::array<std::uint64_t, kEditCount> editOccurrences{};
  std::array<std::array<std::uint64_t, kFieldSlots>, kEditCount> editFields{};

  Weighted weighted;

 private:
  VersionSlot& version_slot(const char* label);
};

// The CMG and tier pairs that grouped records had without a weight, with
// their records; a tier letter alone (no CMG) is named with an empty CMG.
std::vector<PairCount> missing_pairs(const Tally& t, const WeightTable& weights);

}  // namespace cmg290::cli::report
