// The three forms of `cmg290 tables diff`'s report.
#include <array>
#include <string>

#include "set_diff.h"
#include "text_cells.h"

namespace cmg290::cli::setdiff {

namespace {

constexpr std::size_t kKinds = 6;

const char* kind_label(Kind kind) {
  constexpr const char* labels[kKinds] = {
      "added", "removed", "tier", "excluded RICs", "disclosure cleared", "disclosure added"};
  return labels[static_cast<int>(kind)];
}

std::string counted(std::size_t n, Kind kind) {
  constexpr const char* one[kKinds] = {"added",
                                       "removed",
                                       "tier change",
                                       "excluded-RIC change",
                                       "placeholder disclosure cleared",
                                       "placeholder disclosure added"};
  constexpr const char* many[kKinds] = {"added",
                                        "removed",
                                        "tier changes",
                                        "excluded-RIC changes",
                                        "placeholder disclosures cleared",
                                        "placeholder disclosures added"};
  const int k = static_cast<int>(kind);
  return std::to_string(n) + " " + (n == 1 ? one[k] : many[k]);
}

std::string padded(std::string s, std::size_t width) {
  if (s.size() < width) s.resize(width, ' ');
  return s;
}

std::string key_text(const Change& c) {
  std::string key(c.code);
  if (!c.code2.empty()) key += " + " + std::string(c.code2);
  return key;
}

std::string rics_text(std::string_view rics) {
  return rics.empty() ? "none" : std::string(rics);
}

std::string placeholder_text(bool placeholder) {
  return placeholder ? "placeholder" : "official";
}

// What changed, then where: "C -> D   old line 400, new line 560".
std::string change_text(const Change& c) {
  std::string what;
  switch (c.kind) {
    case Kind::Added:
      what = std::string("tier ") + c.now.tier + ", excluded RICs " + rics_text(c.now.rics) +
             (c.now.placeholder ? ", placeholder" : "");
      return padded(what, 24) + "  new line " + std::to_string(c.now.line);
    case Kind::Removed:
      what = std::string("tier ") + c.old.tier + ", excluded RICs " + rics_text(c.old.rics) +
             (c.old.placeholder ? ", placeholder" : "");
      return padded(what, 24) + "  old line " + std::to_string(c.old.line);
    case Kind::Tier:
      what = std::string(1, c.old.tier) + " -> " + c.now.tier;
      break;
    case Kind::ExcludedRics:
      what = rics_text(c.old.rics) + " -> " + rics_text(c.now.rics);
      break;
    case Kind::DisclosureCleared:
    case Kind::DisclosureAdded:
      what = placeholder_text(c.old.placeholder) + " -> " + placeholder_text(c.now.placeholder);
      break;
  }
  return padded(what, 24) + "  old line " + std::to_string(c.old.line) + ", new line " +
         std::to_string(c.now.line);
}

std::string identity_lines(const char* label, const TierSet& set) {
  std::string out = std::string(label) + set.identity() +
                    (set.holds_placeholders() ? " (holds placeholders)" : "") + "\n";
  for (const std::string& d : set.deviations()) out += "  deviation: " + d + "\n";
  return out;
}

std::string side_json(const Side& s) {
  if (s.row == 0) return "null";
  return "{\"line\":" + std::to_string(s.line) + ",\"tier\":\"" + s.tier +
         "\",\"excluded_rics\":" + frontend::json_string(s.rics) +
         ",\"placeholder\":" + (s.placeholder ? "true" : "false") + "}";
}

std::string side_csv(const Side& s) {
  if (s.row == 0) return ",,,";
  return std::to_string(s.line) + "," + s.tier + "," + frontend::csv_cell(s.rics, true) + "," +
         (s.placeholder ? "true" : "false");
}

// The changes of each list, counted by kind, lists in their fixed order.
struct ListTally {
  TierSetList list;
  std::array<std::size_t, kKinds> byKind{};
  std::size_t total = 0;
  bool reordered = false;  // the entries both hold come in another order
};

std::vector<ListTally> tally(const TierSet& old, const TierSet& now,
                             const std::vector<Change>& changes) {
  std::vector<ListTally> lists;
  for (const TierSetList list : kTierSetLists) {
    lists.push_back({list, {}, 0, reordered(old, now, list)});
  }
  for (const Change& c : changes) {
    ListTally& t = lists[static_cast<std::size_t>(c.list)];
    ++t.byKind[static_cast<std::size_t>(c.kind)];
    ++t.total;
  }
  return lists;
}

}  // namespace

std::string text_report(const TierSet& old, const TierSet& now,
                        const std::vector<Change>& changes) {
  std::string out = identity_lines("old: ", old) + identity_lines("new: ", now);
  std::size_t listsChanged = 0;
  auto next = changes.begin();
  for (const ListTally& t : tally(old, now, changes)) {
    out += std::string(tier_set_file(t.list)) + " (" + list_versions(t.list) + "): ";
    if (t.total == 0 && !t.reordered) {
      out += "no change\n";
      continue;
    }
    ++listsChanged;
    std::string counts = t.reordered ? "entries in another order" : "";
    for (std::size_t k = 0; k < kKinds; ++k) {
      if (t.byKind[k] == 0) continue;
      counts += (counts.empty() ? "" : ", ") + counted(t.byKind[k], static_cast<Kind>(k));
    }
    out += counts + "\n";
    for (; next != changes.end() && next->list == t.list; ++next) {
      out += "  " + padded(kind_label(next->kind), 20) + padded(key_text(*next), 22) + " " +
             change_text(*next) + "\n";
    }
  }
  if (changes.empty()) {
    out += old.digest() == now.digest()
               ? "the sets hold the same entries\n"
               : "no entry changed; the sets differ in the order of their entries only\n";
  } else {
    out += std::to_string(changes.size()) + (changes.size() == 1 ? " change in " : " changes in ") +
           std::to_string(listsChanged) + (listsChanged == 1 ? " list\n" : " lists\n");
  }
  return out;
}

std::string csv_report(const std::vector<Change>& changes) {
  std::string out =
      "list,versions,change,code,code_2,old_line,old_tier,old_excluded_rics,old_placeholder,"
      "new_line,new_tier,new_excluded_rics,new_placeholder\n";
  for (const Change& c : changes) {
    out += std::string(tier_set_file(c.list)) + "," + list_versions(c.list) + "," +
           kind_name(c.kind) + "," + frontend::csv_cell(c.code, true) + "," +
           frontend::csv_cell(c.code2, true) + "," + side_csv(c.old) + "," + side_csv(c.now) + "\n";
  }
  return out;
}

std::string json_report(const TierSet& old, const TierSet& now,
                        const std::vector<Change>& changes) {
  std::string out = "{\"old\":" + tier_set_json(old) + ",\"new\":" + tier_set_json(now) +
                    ",\"same_entries\":" + (changes.empty() ? "true" : "false") + ",\"lists\":[";
  bool first = true;
  for (const ListTally& t : tally(old, now, changes)) {
    out += std::string(first ? "" : ",") + "{\"list\":\"" + tier_set_file(t.list) +
           "\",\"versions\":\"" + list_versions(t.list) +
           "\",\"reordered\":" + (t.reordered ? "true" : "false");
    for (std::size_t k = 0; k < kKinds; ++k) {
      out += ",\"" + std::string(kind_name(static_cast<Kind>(k))) +
             "\":" + std::to_string(t.byKind[k]);
    }
    out += "}";
    first = false;
  }
  out += "],\"changes\":[";
  first = true;
  for (const Change& c : changes) {
    out += std::string(first ? "" : ",") + "{\"list\":\"" + tier_set_file(c.list) +
           "\",\"change\":\"" + kind_name(c.kind) + "\",\"code\":" + frontend::json_string(c.code) +
           ",\"code_2\":" + frontend::json_string(c.code2) + ",\"old\":" + side_json(c.old) +
           ",\"new\":" + side_json(c.now) + "}";
    first = false;
  }
  return out + "]}\n";
}

}  // namespace cmg290::cli::setdiff
