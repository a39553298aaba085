// The figures of `cmg290 report`: everything the report shows, in one
// structure that both writers read (json_writer.h, html_writer.h), so that
// the JSON and the page can never tell two stories.
//
// Every list here is bounded whatever the number of records: the CMGs of
// the grouper's table, the RICs, the months of a version date, the table
// versions, the edit codes with their first lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cmg290::cli::report {

// Tier slots: the letters A to D, then any other.
inline constexpr int kTierSlots = 5;
inline constexpr char kTierLetters[] = "ABCD";

// First lines kept per edit code.
inline constexpr std::size_t kFirstLines = 10;
// CMGs shown by their number of records.
inline constexpr std::size_t kTopCmgs = 20;

// A histogram of fixed bins over a whole-number value (the motor score in
// tenths): bin 0 takes everything below `low`, bin i (1 to bins-2) takes
// [low + (i-1) * width, low + i * width), the last bin everything from
// low + (bins-2) * width on.
struct BinScale {
  const char* key;    // JSON key
  const char* title;  // on the page
  int low;
  int width;
  int bins;
  int tenths;  // 10 when the value is in tenths, else 1

  constexpr int bin(int value) const {
    if (value < low) return 0;
    const int i = 1 + (value - low) / width;
    return i < bins - 1 ? i : bins - 1;
  }
  // "<5", "5–9.9", ..., "≥80" (UTF-8).
  std::string label(int bin) const;
};

inline constexpr BinScale kMotorBins{"motor_score", "Motor score", 50, 50, 17, 10};
inline constexpr BinScale kCognitiveBins{"cognitive_score", "Cognitive score", 10, 5, 7, 1};
inline constexpr BinScale kAgeBins{"age", "Age", 10, 10, 11, 1};
inline constexpr int kMaxBins = 17;
inline constexpr const BinScale* kScales[] = {&kMotorBins, &kCognitiveBins, &kAgeBins};
inline constexpr int kScaleCount = 3;

using Histogram = std::array<std::uint64_t, kMaxBins>;

// What the weights give a group of records: the mean relative weight of
// those with a weight (the case-mix index) and the average lengths of stay
// of those with one. Sums in millionths, so that they add up exactly
// whatever the order the threads met the records in.
struct Weighted {
  std::uint64_t weighted = 0;    // records whose CMG and tier have a weight
  std::uint64_t unweighted = 0;  // records with a CMG (or a tier letter alone) but no weight
  std::uint64_t weightMicros = 0;
  std::uint64_t losRecords = 0;  // weighted records whose pair has an average length of stay
  std::uint64_t losMicros = 0;

  void add(const Weighted& o) {
    weighted += o.weighted;
    unweighted += o.unweighted;
    weightMicros += o.weightMicros;
    losRecords += o.losRecords;
    losMicros += o.losMicros;
  }
  // Null without a weighted record.
  std::optional<double> case_mix_index() const;
  double expected_days() const { return static_cast<double>(losMicros) / 1e6; }
  std::optional<double> mean_days() const;
};

struct InputFigure {
  std::string name;
  std::uint64_t records = 0;
};

struct CountedLabel {
  std::string label;  // a table version ("" for none), a month "2024-03"
  std::uint64_t records = 0;
  Weighted weighted;
};

struct StatusFigure {
  int code = 0;  // kOtherStatus for any code the grouper does not return
  std::string description;
  std::uint64_t records = 0;
};
inline constexpr int kOtherStatus = 1000;

struct RicFigure {
  std::string ric;  // "01"
  std::uint64_t records = 0;
  std::array<std::uint64_t, kTierSlots> tiers{};
  std::array<Histogram, kScaleCount> histograms{};
  Weighted weighted;
};

struct CmgFigure {
  std::string cmg;  // "0101"
  std::uint64_t records = 0;
  std::array<std::uint64_t, kTierSlots> tiers{};
};

struct LineRef {
  std::size_t file = 0;  // index into Figures::inputs
  std::int64_t line = 0;
};

struct EditFigure {
  std::string code;
  std::string severity;  // "error" or "warning"
  std::string meaning;
  std::uint64_t records = 0;                                  // records with at least one
  std::uint64_t occurrences = 0;                              // edits of this code in all
  std::vector<std::pair<std::string, std::uint64_t>> fields;  // field ("" for the record) -> edits
  std::vector<LineRef> firstLines;                            // at most kFirstLines
};

struct PairCount {
  std::string cmg;  // "" for a grouped record with a tier letter alone
  char tier = ' ';
  std::uint64_t records = 0;
};

struct WeightsFigure {
  std::string file;
  std::string sha256;
  std::size_t pairs = 0;           // CMG and tier pairs the file gives
  std::vector<PairCount> missing;  // pairs records had without a weight
};

struct Figures {
  std::vector<InputFigure> inputs;
  std::uint64_t records = 0;     // lines that are not empty
  std::uint64_t emptyLines = 0;  // skipped
  std::uint64_t grouped = 0;     // status 0
  std::string firstVersionDate;  // YYYYMMDD, "" when no record has a date
  std::string lastVersionDate;
  std::uint64_t notADate = 0;               // version dates that are not a date
  std::vector<CountedLabel> months;         // in order, months with records only
  std::vector<CountedLabel> tableVersions;  // in order of the label
  // The tier-table set: its identity as `cmg290 group` states it, and its
  // JSON description (cmg290::tier_set_json).
  std::string setIdentity;
  std::string setJson;
  bool setHoldsPlaceholders = false;
  std::uint64_t placeholderTiers =
      0;  // grouped records whose tier letter came from a placeholder row
  std::vector<StatusFigure> statuses;  // every code the grouper returns, then any other seen
  std::array<std::uint64_t, kTierSlots> tiers{};  // grouped records by tier letter
  std::uint64_t tierWithoutCmg = 0;  // grouped records whose result is a tier letter alone
  std::array<Histogram, kScaleCount> histograms{};  // grouped records
  std::vector<RicFigure> rics;                      // RICs with records, in order
  std::size_t distinctCmgs = 0;
  std::vector<CmgFigure> topCmgs;  // most records first, ties by code; at most kTopCmgs
  std::uint64_t recordsWithEdits = 0;
  std::vector<EditFigure> edits;  // every code raised, in the catalogue's order
  std::optional<WeightsFigure> weights;
  Weighted weighted;  // over all records, with weights
};

}  // namespace cmg290::cli::report
