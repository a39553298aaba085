#include "json_writer.h"

#include <nlohmann/json.hpp>

#include "json_values.h"

namespace cmg290::cli::report {

namespace {

using Json = nlohmann::ordered_json;

Json tier_counts(const std::array<std::uint64_t, kTierSlots>& counts) {
  Json j = Json::object();
  for (int t = 0; t < 4; ++t) j[std::string(1, kTierLetters[t])] = counts[t];
  if (counts[4] > 0) j["other"] = counts[4];
  return j;
}

// The case-mix members of a group of records, added when weights were given.
void add_weighted(Json& j, const Weighted& w, bool withWeights) {
  if (!withWeights) return;
  j["case_mix_index"] = optional_number(w.case_mix_index());
  j["weighted_records"] = w.weighted;
  j["unweighted_records"] = w.unweighted;
  j["expected_days"] = {{"records", w.losRecords},
                        {"sum", w.expected_days()},
                        {"mean", optional_number(w.mean_days())}};
}

Json histogram_counts(const Histogram& h, const BinScale& scale) {
  return Json(std::vector<std::uint64_t>(h.begin(), h.begin() + scale.bins));
}

Json counted(const std::vector<CountedLabel>& rows, const char* key, bool withWeights) {
  Json list = Json::array();
  for (const CountedLabel& row : rows) {
    Json j;
    j[key] = row.label.empty() ? Json(nullptr) : Json(row.label);
    j["records"] = row.records;
    add_weighted(j, row.weighted, withWeights);
    list.push_back(std::move(j));
  }
  return list;
}

Json edits_json(const Figures& f) {
  Json codes = Json::array();
  for (const EditFigure& e : f.edits) {
    Json fields = Json::object();
    for (const auto& [name, n] : e.fields) fields[name.empty() ? "(record)" : name] = n;
    Json lines = Json::array();
    for (const LineRef& l : e.firstLines) {
      lines.push_back({{"file", f.inputs[l.file].name}, {"line", l.line}});
    }
    codes.push_back({{"code", e.code},
                     {"severity", e.severity},
                     {"meaning", e.meaning},
                     {"records", e.records},
                     {"occurrences", e.occurrences},
                     {"fields", std::move(fields)},
                     {"first_lines", std::move(lines)}});
  }
  return {{"records_with_edits", f.recordsWithEdits}, {"codes", std::move(codes)}};
}

}  // namespace

std::string report_json(const Figures& f) {
  const bool withWeights = f.weights.has_value();
  Json j;
  j["records"] = f.records;
  j["empty_lines"] = f.emptyLines;
  j["grouped"] = f.grouped;
  Json inputs = Json::array();
  for (const InputFigure& in : f.inputs)
    inputs.push_back({{"name", in.name}, {"records", in.records}});
  j["inputs"] = std::move(inputs);
  j["version_dates"] = {
      {"first", f.firstVersionDate.empty() ? Json(nullptr) : Json(f.firstVersionDate)},
      {"last", f.lastVersionDate.empty() ? Json(nullptr) : Json(f.lastVersionDate)},
      {"not_a_date", f.notADate}};
  j["months"] = counted(f.months, "month", withWeights);
  j["table_versions"] = counted(f.tableVersions, "version", withWeights);

  Json set = Json::parse(f.setJson);
  set["identity"] = f.setIdentity;
  j["tier_set"] = std::move(set);
  j["placeholder_tiers"] = f.placeholderTiers;

  Json status = Json::object(), descriptions = Json::object();
  for (const StatusFigure& s : f.statuses) {
    const std::string key = s.code == kOtherStatus ? "other" : std::to_string(s.code);
    status[key] = s.records;
    descriptions[key] = s.description;
  }
  j["status"] = std::move(status);
  j["status_descriptions"] = std::move(descriptions);
  j["tiers"] = tier_counts(f.tiers);
  j["tier_letter_without_cmg"] = f.tierWithoutCmg;

  Json histograms = Json::object();
  for (int s = 0; s < kScaleCount; ++s) {
    const BinScale& scale = *kScales[s];
    Json labels = Json::array();
    for (int b = 0; b < scale.bins; ++b) labels.push_back(scale.label(b));
    histograms[scale.key] = {{"labels", std::move(labels)},
                             {"records", histogram_counts(f.histograms[s], scale)}};
  }
  j["histograms"] = std::move(histograms);

  Json rics = Json::array();
  for (const RicFigure& r : f.rics) {
    Json ric = {{"ric", r.ric}, {"records", r.records}, {"tiers", tier_counts(r.tiers)}};
    Json h = Json::object();
    for (int s = 0; s < kScaleCount; ++s) {
      h[kScales[s]->key] = histogram_counts(r.histograms[s], *kScales[s]);
    }
    ric["histograms"] = std::move(h);
    add_weighted(ric, r.weighted, withWeights);
    rics.push_back(std::move(ric));
  }
  j["rics"] = std::move(rics);

  j["distinct_cmgs"] = f.distinctCmgs;
  Json top = Json::array();
  for (const CmgFigure& c : f.topCmgs) {
    top.push_back({{"cmg", c.cmg}, {"records", c.records}, {"tiers", tier_counts(c.tiers)}});
  }
  j["top_cmgs"] = std::move(top);
  j["edits"] = edits_json(f);

  if (withWeights) {
    const WeightsFigure& w = *f.weights;
    Json missing = Json::array();
    for (const PairCount& p : w.missing) {
      missing.push_back({{"cmg", p.cmg.empty() ? Json(nullptr) : Json(p.cmg)},
                         {"tier", std::string(1, p.tier)},
                         {"records", p.records}});
    }
    j["weights"] = {{"file", w.file},
                    {"sha256", w.sha256},
                    {"pairs", w.pairs},
                    {"missing_pairs", std::move(missing)}};
  } else {
    j["weights"] = nullptr;
  }
  j["case_mix_index"] = optional_number(f.weighted.case_mix_index());
  Json overall = Json::object();
  add_weighted(overall, f.weighted, withWeights);
  j["case_mix"] = withWeights ? std::move(overall) : Json(nullptr);
  return j.dump(1) + "\n";
}

}  // namespace cmg290::cli::report
