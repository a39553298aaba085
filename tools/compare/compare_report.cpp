// The report of `cmg290 compare`, as text and as JSON, and the CSV rows of
// the records whose CMG changed.
#include "compare_report.h"

#include <algorithm>
#include <vector>

#include "text_cells.h"

namespace cmg290::cli::compare {

namespace {

std::string plural(std::uint64_t n, const char* one, const char* many) {
  return with_commas(n) + " " + (n == 1 ? one : many);
}

std::string cmg_json(std::uint64_t packed) {
  const std::string s = unpack_cmg(packed);
  return s.empty() ? "null" : "\"" + s + "\"";  // five letters and digits: nothing to escape
}

std::string cmg_text(std::uint64_t packed) {
  const std::string s = unpack_cmg(packed);
  return s.empty() ? "(none)" : s;
}

std::string entry_text(const TierSet& set, const cmg290::TierSource& s) {
  if (s.row == 0) return "";
  return std::string(tier_set_file(s.list)) + ":" + std::to_string(set.line(s.list, s.row));
}

std::string trimmed(const char* text, std::size_t size) {
  std::string s(text, size);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string padded(std::string s, std::size_t width) {
  if (s.size() < width) s.resize(width, ' ');
  return s;
}

std::string from_to(std::uint64_t from, std::uint64_t to) {
  return padded(with_commas(from), 9) + " -> " + with_commas(to);
}

}  // namespace

const char* tier_slot_name(int slot) {
  constexpr const char* names[kTierSlots] = {"A", "B", "C", "D", "none"};
  return names[slot];
}

std::string with_commas(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::vector<std::pair<std::pair<std::uint64_t, std::uint64_t>, std::uint64_t>> sorted_transitions(
    const Counts& counts) {
  std::vector<std::pair<std::pair<std::uint64_t, std::uint64_t>, std::uint64_t>> rows(
      counts.transitions.begin(), counts.transitions.end());
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& x, const auto& y) { return x.second > y.second; });
  return rows;
}

std::string report_text(const Counts& counts, const TierSet& old, const TierSet& now,
                        std::size_t top) {
  std::string out;
  out +=
      "old: " + old.identity() + (old.holds_placeholders() ? " (holds placeholders)" : "") + "\n";
  out +=
      "new: " + now.identity() + (now.holds_placeholders() ? " (holds placeholders)" : "") + "\n";
  out += "records:     " + with_commas(counts.records) + " (" + with_commas(counts.grouped) +
         " grouped)\n";
  out += "CMG changed: " + with_commas(counts.cmgChanged) + "\n";
  out += "records by tier letter, with the old set -> with the new:\n";
  for (int t = 0; t < kTierSlots; ++t) {
    out += "  " + padded(tier_slot_name(t), 5) + from_to(counts.tiers[0][t], counts.tiers[1][t]) +
           "\n";
  }
  if (counts.transitions.empty()) return out;

  out += "records by RIC, and those whose CMG changed:\n";
  for (std::size_t r = 0; r < counts.rics.size(); ++r) {
    if (counts.rics[r][0] == 0) continue;
    out += std::string("  ") + static_cast<char>('0' + r / 10) + static_cast<char>('0' + r % 10) +
           "   " + padded(with_commas(counts.rics[r][0]), 9) + " " +
           with_commas(counts.rics[r][1]) + " changed\n";
  }
  out += "CMGs whose records differ, with the old set -> with the new:\n";
  for (const auto& [cmg, n] : counts.cmgs) {
    if (n[0] != n[1]) out += "  " + padded(cmg_text(cmg), 6) + from_to(n[0], n[1]) + "\n";
  }
  const auto rows = sorted_transitions(counts);
  out += "transitions (CMG with the old set -> with the new), most records first:\n";
  std::uint64_t rest = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i >= top) {
      rest += rows[i].second;
      continue;
    }
    std::string from = cmg_text(rows[i].first.first);
    std::string to = cmg_text(rows[i].first.second);
    from.resize(std::max<std::size_t>(from.size(), 5), ' ');
    to.resize(std::max<std::size_t>(to.size(), 6), ' ');
    out += "  " + from + " -> " + to + " " + with_commas(rows[i].second) + "\n";
  }
  if (rows.size() > top) {
    out += "  and " + plural(rows.size() - top, "more transition", "more transitions") + " (" +
           plural(rest, "record", "records") + ")\n";
  }
  return out;
}

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

std::string changes_header() {
  return "file,line,table_version,cmg_old,cmg_new,entry_old,tier_old,entry_new,tier_new,"
         "placeholder_old,placeholder_new\n";
}

std::string change_row(const Change& c, const std::string& file, const TierSet& old,
                       const TierSet& now) {
  std::string row = frontend::csv_cell(file);
  row += "," + std::to_string(c.line) + "," + trimmed(c.old.tableVersion, 4) + "," +
         trimmed(c.old.cmg, 5) + "," + trimmed(c.now.cmg, 5) + ",";
  row += entry_text(old, c.sourceOld) + "," + trimmed(c.old.cmg, 1) + ",";
  row += entry_text(now, c.sourceNew) + "," + trimmed(c.now.cmg, 1) + ",";
  row += std::string(c.sourceOld.placeholder ? "true" : "false") + "," +
         (c.sourceNew.placeholder ? "true" : "false") + "\n";
  return row;
}

}  // namespace cmg290::cli::compare
