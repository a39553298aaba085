#include "tier_tables.h"

#include <cstdio>
#include <vector>

namespace cmg290::serve {

namespace {

constexpr TierSetList kLists[] = {
    TierSetList::Single240, TierSetList::Single250, TierSetList::Single260, TierSetList::Single282,
    TierSetList::Single290, TierSetList::Pair,      TierSetList::Secondary};

}  // namespace

std::string tables_json(const TierSet& set) {
  std::string json = tier_set_json(set);
  // One object: its members are followed by the entry counts.
  if (json.empty() || json.back() != '}') return json + "\n";
  json.pop_back();
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
  json += "}}\n";
  return json;
}

bool load_served_set(const std::string& directory, const TierSetOptions& options,
                     ServedTierSet& out) {
  if (directory.empty()) {
    out.set = TierSet::compiled();
    out.loaded = nullptr;
  } else {
    std::vector<TierSetProblem> problems;
    out.set = TierSet::load(directory, problems, options);
    if (out.set == nullptr) {
      std::fprintf(stderr, "cmg290 serve: the tier-table set in %s cannot be used:\n",
                   directory.c_str());
      for (const TierSetProblem& p : problems) {
        std::fprintf(stderr, "%s\n", problem_text(p).c_str());
      }
      if (problems.empty()) std::fprintf(stderr, "%s: not loaded\n", directory.c_str());
      if (!options.allowDeviations && options.expectedSha256.empty()) {
        // Say so when only deviations from the documented contents stood in
        // the way.
        std::vector<TierSetProblem> again;
        if (TierSet::load(directory, again, {.allowDeviations = true, .expectedSha256 = {}}) !=
            nullptr) {
          std::fprintf(stderr,
                       "cmg290 serve: these are deviations from the documented contents of the "
                       "lists; --allow-deviations takes them\n");
        }
      }
      return false;
    }
    out.loaded = out.set.get();
  }
  out.json = tables_json(*out.set);
  return true;
}

}  // namespace cmg290::serve
