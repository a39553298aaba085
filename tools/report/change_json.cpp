// The figures of a change of the tier lists as one JSON document; its keys
// are listed in docs/report.md.
#include <nlohmann/json.hpp>

#include "change_figures.h"
#include "json_values.h"

namespace cmg290::cli::report {

namespace {

using Json = nlohmann::ordered_json;

// The index with each set and its change (null where a side has none).
Json index_pair(const std::array<Weighted, 2>& w) {
  const auto a = w[0].case_mix_index();
  const auto b = w[1].case_mix_index();
  return {{"old", optional_number(a)},
          {"new", optional_number(b)},
          {"change", a && b ? Json(*b - *a) : Json(nullptr)}};
}

}  // namespace

std::string change_json(const ChangeFigures& f) {
  const bool withWeights = f.weights.has_value();
  Json j;
  j["old"] = Json::parse(f.old.json);
  j["new"] = Json::parse(f.now.json);
  j["inputs"] = Json::array();
  for (const InputFigure& in : f.inputs) {
    j["inputs"].push_back({{"name", in.name}, {"records", in.records}});
  }
  j["records"] = f.records;
  j["grouped"] = f.grouped;
  j["cmg_changed"] = f.changed;
  Json matrix = Json::object();
  for (int o = 0; o < kTierSlots; ++o) {
    Json row = Json::object();
    for (int n = 0; n < kTierSlots; ++n) row[kChangeTierNames[n]] = f.transitions[o][n];
    matrix[kChangeTierNames[o]] = std::move(row);
  }
  j["tier_transitions"] = std::move(matrix);
  j["rics"] = Json::array();
  for (const ChangeRicFigure& r : f.rics) {
    Json ric = {{"ric", r.ric}, {"records", r.records}, {"cmg_changed", r.changed}};
    if (withWeights) ric["case_mix_index"] = index_pair(r.weighted);
    j["rics"].push_back(std::move(ric));
  }
  j["changed_cmgs"] = f.changedCmgs;
  j["top_cmgs"] = Json::array();
  for (const ChangeCmgFigure& g : f.topCmgs) {
    j["top_cmgs"].push_back({{"cmg", g.cmg},
                             {"old", g.oldRecords},
                             {"new", g.newRecords},
                             {"changed_away", g.changedAway},
                             {"changed_in", g.changedIn}});
  }
  if (withWeights) {
    j["weights"] = {
        {"file", f.weights->file}, {"sha256", f.weights->sha256}, {"pairs", f.weights->pairs}};
    Json cmi = index_pair(f.weighted);
    cmi["weighted_records"] = {{"old", f.weighted[0].weighted}, {"new", f.weighted[1].weighted}};
    cmi["unweighted_records"] = {{"old", f.weighted[0].unweighted},
                                 {"new", f.weighted[1].unweighted}};
    j["case_mix_index"] = std::move(cmi);
  } else {
    j["weights"] = nullptr;
    j["case_mix_index"] = nullptr;
  }
  return j.dump() + "\n";
}

}  // namespace cmg290::cli::report
