// The figures of a change of the tier lists, as `cmg290 compare --report`
// shows them: the same records grouped with an old and a new tier-table
// set. One structure that both writers read (change_html, change_json),
// filled from compare's counts; every list in it is bounded whatever the
// number of records (the tier slots, the RICs, at most kTopCmgs CMGs).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "figures.h"

namespace cmg290::cli::report {

// The tier slots of a change: the letters A to D, then "none" (no tier
// letter: not grouped, or no CMG).
inline constexpr const char* kChangeTierNames[kTierSlots] = {"A", "B", "C", "D", "none"};

struct ChangeSet {
  std::string identity;  // as `cmg290 group` states it
  std::string json;      // cmg290::tier_set_json
  bool holdsPlaceholders = false;
};

struct ChangeRicFigure {
  std::string ric;  // "01"
  std::uint64_t records = 0;
  std::uint64_t changed = 0;
  std::array<Weighted, 2> weighted;  // with the old set, with the new one
};

struct ChangeCmgFigure {
  std::string cmg;                // "A0101", with its tier letter
  std::uint64_t oldRecords = 0;   // records with this CMG under the old set
  std::uint64_t newRecords = 0;   // under the new one
  std::uint64_t changedAway = 0;  // had it under the old set, another under the new
  std::uint64_t changedIn = 0;    // have it under the new set, had another
};

struct ChangeFigures {
  ChangeSet old, now;
  std::vector<InputFigure> inputs;
  std::uint64_t records = 0;
  std::uint64_t grouped = 0;
  std::uint64_t changed = 0;  // records whose CMG differs
  // Records by tier slot with the old set [row] and with the new one
  // [column]; the diagonal holds the records whose letter stayed.
  std::array<std::array<std::uint64_t, kTierSlots>, kTierSlots> transitions{};
  std::vector<ChangeRicFigure> rics;     // RICs with records, in order
  std::size_t changedCmgs = 0;           // CMGs with a record changed away or in
  std::vector<ChangeCmgFigure> topCmgs;  // most changes first, ties by code; at most kTopCmgs
  std::optional<WeightsFigure> weights;  // its missing pairs are not listed
  std::array<Weighted, 2> weighted;      // grouped records, with the old set and the new one
};

// The page: self-contained, as report_html is (html_writer.h).
std::string change_html(const ChangeFigures& f);
// Every figure as one JSON document with its line end (docs/report.md).
std::string change_json(const ChangeFigures& f);

}  // namespace cmg290::cli::report
