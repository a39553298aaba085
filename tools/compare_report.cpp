#include "compare_report.h"

#include <algorithm>
#include <vector>

#include "text_cells.h"

namespace cmg290::cli::compare {

namespace {

std::string plural(std::uint64_t n, const char* one, const char* many) {
  return with_commas(n) + " " + (n == 1 ? one : many);
}

std::string cmg_text(std::uint64_t packed) {
  const std::string s = unpack_cmg(packed);
  return s.empty() ? "(none)" : s;
}

// The entry that gave the tier letter, by the line of its set's file:
// "single-2.90.csv:58".
std::string source_text(const cmg290::TierSource& s, const cmg290::TierSet& set) {
  if (s.row == 0) return "";
  return std::string(tier_set_file(s.list)) + ":" + std::to_string(set.line(s.list, s.row));
}

std::string trimmed(const char* cmg) {
  std::string s(cmg, 5);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

std::uint64_t pack_cmg(const char* cmg) {
  std::uint64_t v = 0;
  for (int i = 0; i < 5; ++i) v = v << 8 | static_cast<unsigned char>(cmg[i]);
  return v;
}

std::string unpack_cmg(std::uint64_t packed) {
  std::string s(5, ' ');
  for (int i = 4; i >= 0; --i, packed >>= 8) s[i] = static_cast<char>(packed & 0xff);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

void Counts::add(const Counts& o) {
  records += o.records;
  grouped += o.grouped;
  tierChanged += o.tierChanged;
  cmgChanged += o.cmgChanged;
  for (const auto& [key, n] : o.transitions) transitions[key] += n;
}

std::string with_commas(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits;
}

std::string report_text(const Counts& counts, const TierSet& a, const TierSet& b, std::size_t top) {
  std::string out;
  out += "set A: " + a.identity() + (a.holds_placeholders() ? " (holds placeholders)" : "") + "\n";
  out += "set B: " + b.identity() + (b.holds_placeholders() ? " (holds placeholders)" : "") + "\n";
  out += "records:             " + with_commas(counts.records) + " (" +
         with_commas(counts.grouped) + " grouped)\n";
  out += "tier letter changed: " + with_commas(counts.tierChanged) + "\n";
  out += "CMG changed:         " + with_commas(counts.cmgChanged) + "\n";
  if (counts.transitions.empty()) return out;

  std::vector<std::pair<std::pair<std::uint64_t, std::uint64_t>, std::uint64_t>> rows(
      counts.transitions.begin(), counts.transitions.end());
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& x, const auto& y) { return x.second > y.second; });
  out += "transitions (CMG with set A -> with set B), most records first:\n";
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

std::string changes_header() {
  return "file,line,cmg_a,cmg_b,tier_row_a,tier_row_b,placeholder_a,placeholder_b\n";
}

std::string change_row(const Change& c, const std::string& file, const TierSet& a,
                       const TierSet& b) {
  std::string row = frontend::csv_cell(file);
  row += "," + std::to_string(c.line) + "," + trimmed(c.a.cmg) + "," + trimmed(c.b.cmg) + ",";
  row += source_text(c.sourceA, a) + "," + source_text(c.sourceB, b) + ",";
  row += std::string(c.sourceA.placeholder ? "true" : "false") + "," +
         (c.sourceB.placeholder ? "true" : "false") + "\n";
  return row;
}

}  // namespace cmg290::cli::compare
