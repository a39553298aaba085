#include "tier_tables.h"

namespace cmg290::serve {

namespace {}  // namespace

std::string tables_json_members(const TierSet& set) {
  std::string json = tier_set_json(set);
  // One object: its members are followed by the entry counts.
  if (!json.empty() && json.back() == '}') json.pop_back();
  json += ",\"entries\":{";
  const char* comma = "";
  for (TierSetList list : kTierSetLists) {
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

}  // namespace cmg290::serve
