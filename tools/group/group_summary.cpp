#include "group_summary.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace cmg290::cli::batch {

std::string with_commas(std::uint64_t v) {
  std::string digits = std::to_string(v);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits;
}

namespace {

// "  edits: N records with at least one", then a line per code raised: the
// records with it, most first (ties by code), and its severity.
std::string edit_lines(const Tally& t) {
  if (t.withEdits == 0) return "  edits: no record has one\n";
  std::string s = "  edits: " + with_commas(t.withEdits) +
                  (t.withEdits == 1 ? " record" : " records") + " with at least one\n";
  std::vector<const EditInfo*> raised;
  for (const EditInfo& e : kEditCatalogue) {
    if (t.byEdit[static_cast<int>(e.id)] > 0) raised.push_back(&e);
  }
  std::sort(raised.begin(), raised.end(), [&t](const EditInfo* a, const EditInfo* b) {
    const std::uint64_t na = t.byEdit[static_cast<int>(a->id)];
    const std::uint64_t nb = t.byEdit[static_cast<int>(b->id)];
    return na != nb ? na > nb : a->code < b->code;
  });
  const int width = static_cast<int>(longest_edit_code());
  char line[200];
  for (const EditInfo* e : raised) {
    std::snprintf(
        line, sizeof line, "    %-*.*s %12s  %.*s\n", width, static_cast<int>(e->code.size()),
        e->code.data(), with_commas(t.byEdit[static_cast<int>(e->id)]).c_str(),
        static_cast<int>(severity_text(e->severity).size()), severity_text(e->severity).data());
    s += line;
  }
  return s;
}

}  // namespace

void print_summary(const Tally& t, std::size_t files, double seconds, const TierSet& set,
                   bool edits) {
  std::string s;
  char line[200];
  const double rate = seconds > 0 ? static_cast<double>(t.records) / seconds : 0.0;
  std::snprintf(line, sizeof line,
                "cmg290 group: %s record%s from %zu input%s in %.*f %s (%s records/s)\n",
                with_commas(t.records).c_str(), t.records == 1 ? "" : "s", files,
                files == 1 ? "" : "s", seconds < 1 ? 1 : 3, seconds < 1 ? seconds * 1000 : seconds,
                seconds < 1 ? "ms" : "s", with_commas(static_cast<std::uint64_t>(rate)).c_str());
  s += line;
  s += "  tier-table set " + set.identity() + "\n";
  // One line per count: a label, the count, and a note.
  auto add = [&](const std::string& label, std::uint64_t count, const char* note) {
    std::snprintf(line, sizeof line, "  %-12s %12s%s%s\n", label.c_str(),
                  with_commas(count).c_str(), *note ? "  " : "", note);
    s += line;
  };
  add("grouped", t.grouped(), "");
  add("not grouped", t.records - t.grouped(), "");
  for (int slot = 0; slot < Tally::kStatusSlots; ++slot) {
    if (t.byStatus[slot] == 0) continue;
    if (slot == Tally::kStatusSlots - 1) {
      add("status ?", t.byStatus[slot], "other codes");
    } else {
      add("status " + std::to_string(slot - 1), t.byStatus[slot], describe_status(slot - 1));
    }
  }
  for (int slot = 0; slot < Tally::kTierSlots; ++slot) {
    if (t.byTier[slot] == 0) continue;
    add(std::string("tier ") + (slot < 4 ? static_cast<char>('A' + slot) : '?'), t.byTier[slot],
        "");
  }
  if (t.shortLines > 0) {
    add("short lines", t.shortLines,
        t.byStatus[Tally::status_slot(kStatusShortLine)] > 0
            ? "fewer than 1251 characters, rejected (--strict)"
            : "fewer than 1251 characters, missing positions read as blanks");
  }
  if (t.empty > 0) add("empty lines", t.empty, "skipped");
  if (set.holds_placeholders()) {
    s += "  tier letter from placeholder rows: " + with_commas(t.placeholderTiers) +
         (t.placeholderTiers == 1 ? " record" : " records") +
         (set.is_compiled() ? " (compiled-in lists hold placeholders; see --tier-tables)\n"
                            : " (the set holds placeholder rows)\n");
  }
  if (edits) s += edit_lines(t);
  std::fwrite(s.data(), 1, s.size(), stderr);
}

}  // namespace cmg290::cli::batch
