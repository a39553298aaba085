#include "tier_tables.h"

namespace cmg290::serve {

namespace {

constexpr TierSetList kLists[] = {
    TierSetList::Single240, TierSetList::Single250, TierSetList::Single260, TierSetList::Single282,
    TierSetList::Single290, TierSetList::Pair,      TierSetList::Secondary};

}  // namespace

std::string tables_json_members(const TierSet& set) {
  std::string json = tier_set_json(set);
  // One object: its members are followed by the entry counts.
  if (!json.empty() && json.back() == '}') json.pop_back();
  json += ",\"entries\":{";
  const char* comma = "";
  for (TierSetList list : kLists) {
    json += comma;
    json += '"';
    json += tier_set_file(list);
    json += "\":";
    json += std::to_string(set.entries(list));
    comma = ",";
  }
  json += '}';
  return json;
}

std::string tier_set_line(const TierSet& set) {
  return "tier tables " + set.identity() +
         (set.holds_placeholders() ? " (holds placeholder rows)" : "");
}

std::shared_ptr<const TierSet> load_tier_set(const std::string& directory,
                                             const TierSetOptions& options,
                                             std::vector<std::string>& problems,
                                             bool& onlyDeviations) {
  onlyDeviations = false;
  if (directory.empty()) return TierSet::compiled();
  std::vector<TierSetProblem> found;
  std::shared_ptr<const TierSet> set = TierSet::load(directory, found, options);
  if (set != nullptr) return set;
  for (const TierSetProblem& p : found) problems.push_back(problem_text(p));
  if (found.empty()) problems.push_back(directory + ": not loaded");
  if (!options.allowDeviations && options.expectedSha256.empty()) {
    // Say so when only deviations from the documented contents stood in the
    // way.
    TierSetOptions allowing = options;
    allowing.allowDeviations = true;
    std::vector<TierSetProblem> again;
    onlyDeviations = TierSet::load(directory, again, allowing) != nullptr;
  }
  return nullptr;
}

}  // namespace cmg290::serve
