// `cmg290 compare -f json`: the whole report as one JSON document.
#include <string>

#include "compare_report.h"

namespace cmg290::cli::compare {

namespace {

std::string cmg_json(std::uint64_t packed) {
  const std::string s = unpack_cmg(packed);
  return s.empty() ? "null" : "\"" + s + "\"";  // five letters and digits: nothing to escape
}

}  // namespace

std::string report_json(const Counts& counts, const TierSet& old, const TierSet& now) {
  std::string out = "{\"old\":" + tier_set_json(old) + ",\"new\":" + tier_set_json(now) +
                    ",\"records\":" + std::to_string(counts.records) +
                    ",\"grouped\":" + std::to_string(counts.grouped) +
                    ",\"cmg_changed\":" + std::to_string(counts.cmgChanged) + ",\"tiers\":{";
  for (int t = 0; t < kTierSlots; ++t) {
    out += std::string(t == 0 ? "" : ",") + "\"" + tier_slot_name(t) +
           "\":{\"old\":" + std::to_string(counts.tiers[0][t]) +
           ",\"new\":" + std::to_string(counts.tiers[1][t]) + "}";
  }
  out += "},\"rics\":[";
  bool first = true;
  for (std::size_t r = 0; r < counts.rics.size(); ++r) {
    if (counts.rics[r][0] == 0) continue;
    out += std::string(first ? "" : ",") + "{\"ric\":\"" + static_cast<char>('0' + r / 10) +
           static_cast<char>('0' + r % 10) + "\",\"records\":" + std::to_string(counts.rics[r][0]) +
           ",\"cmg_changed\":" + std::to_string(counts.rics[r][1]) + "}";
    first = false;
  }
  out += "],\"cmgs\":[";
  first = true;
  for (const auto& [cmg, n] : counts.cmgs) {
    out += std::string(first ? "" : ",") + "{\"cmg\":" + cmg_json(cmg) +
           ",\"old\":" + std::to_string(n[0]) + ",\"new\":" + std::to_string(n[1]) + "}";
    first = false;
  }
  out += "],\"transitions\":[";
  first = true;
  for (const auto& [key, n] : sorted_transitions(counts)) {
    out += std::string(first ? "" : ",") + "{\"old\":" + cmg_json(key.first) +
           ",\"new\":" + cmg_json(key.second) + ",\"records\":" + std::to_string(n) + "}";
    first = false;
  }
  return out + "]}\n";
}

}  // namespace cmg290::cli::compare
