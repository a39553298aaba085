// The comorbidity tier lists as data files and as columns.
#include "tier_lists.h"

#include <algorithm>
#include <cstring>

namespace cmg290::cli::tier {

namespace {

using tables::TierTables;

std::string_view cell_text(const tables::Column& c, int row) {
  const char* cell = c.cell(row);
  return {cell, strnlen(cell, static_cast<std::size_t>(c.width))};
}

// Cells of `width` bytes for row 0 (copied from the shape) and the entries.
std::vector<char> cells(const tables::Column& shape, const std::vector<Entry>& entries,
                        std::string Entry::*field) {
  const auto width = static_cast<std::size_t>(shape.width);
  std::vector<char> out((entries.size() + 1) * width, '\0');
  std::memcpy(out.data(), shape.cell(0), width);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& text = entries[i].*field;
    std::memcpy(out.data() + (i + 1) * width, text.data(), std::min(text.size(), width - 1));
  }
  return out;
}

tables::Column view_of(const tables::Column& shape, const std::vector<char>& cells) {
  if (!shape.present()) return {};
  return {shape.name, cells.data(), static_cast<int>(cells.size() / shape.width), shape.width};
}

// The quoted texts of one ROW(...) or PAIR(...) line, or false when the line
// is not one.
bool split_entry_line(std::string_view line, std::string_view macro,
                      std::vector<std::string>& texts) {
  texts.clear();
  if (!line.starts_with(macro) || !line.substr(macro.size()).starts_with("(") ||
      !line.ends_with(")")) {
    return false;
  }
  std::string_view rest = line.substr(macro.size() + 1, line.size() - macro.size() - 2);
  for (;;) {
    if (rest.empty() || rest.front() != '"') return false;
    const std::size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) return false;
    texts.emplace_back(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    if (rest.empty()) return true;
    if (!rest.starts_with(", ")) return false;
    rest.remove_prefix(2);
  }
}

}  // namespace

const std::vector<ListFile>& all_list_files() {
  static const std::vector<ListFile> files = {
      {"icd240.def", ListKind::kEarlySingle, "2.40", {&TierTables::list240}},
      {"icd250.def", ListKind::kEarlySingle, "2.50", {&TierTables::list250}},
      {"icd260.def", ListKind::kEarlySingle, "2.60 and 2.70", {&TierTables::list260}},
      {"icd281s1.def", ListKind::kLateSingle, "2.82", {&TierTables::list282s1}},
      {"icd290s1.def", ListKind::kLateSingle, "2.90", {&TierTables::list290s1}},
      {"pairs.def",
       ListKind::kPair,
       "2.82 and 2.90",
       {&TierTables::list282c, &TierTables::list290c}},
      {"secondary.def",
       ListKind::kSecondary,
       "2.82 and 2.90",
       {&TierTables::list282s2, &TierTables::list290s2}},
  };
  return files;
}

const ListFile* find_list(std::string_view version, std::string_view list, std::string& error) {
  static constexpr std::string_view kEarly[] = {"2.40", "2.50", "2.60", "2.70"};
  static constexpr std::string_view kLate[] = {"2.82", "2.90"};
  const auto& files = all_list_files();
  const bool early = std::ranges::find(kEarly, version) != std::end(kEarly);
  const bool late = std::ranges::find(kLate, version) != std::end(kLate);
  if (!early && !late) {
    error = "no table version " + std::string(version) + " (2.40, 2.50, 2.60, 2.70, 2.82 or 2.90)";
    return nullptr;
  }
  if (list == "single") {
    if (version == "2.40") return &files[0];
    if (version == "2.50") return &files[1];
    if (early) return &files[2];  // 2.70 uses the 2.60 list
    return version == "2.82" ? &files[3] : &files[4];
  }
  if (list != "pair" && list != "secondary") {
    error = "no list " + std::string(list) + " (single, pair or secondary)";
    return nullptr;
  }
  if (early) {
    error = "table version " + std::string(version) + " has no " + std::string(list) + " list";
    return nullptr;
  }
  return list == "pair" ? &files[5] : &files[6];
}

std::vector<Entry> entries_of(const tables::TierList& list) {
  std::vector<Entry> out;
  for (int r = 1; r < list.code.rows; ++r) {
    Entry e;
    e.code = cell_text(list.code, r);
    if (list.code2.present()) e.code2 = cell_text(list.code2, r);
    e.tier = cell_text(list.tier, r);
    e.rics = cell_text(list.rics, r);
    out.push_back(std::move(e));
  }
  return out;
}

std::string_view ric_separator(ListKind kind) {
  return kind == ListKind::kEarlySingle ? "," : ", ";
}

std::size_t code_width(ListKind kind) {
  return kind == ListKind::kEarlySingle ? 6 : 8;
}

std::size_t rics_width(ListKind kind) {
  return kind == ListKind::kEarlySingle ? 8 : 11;
}

std::string render_def(const std::vector<Entry>& entries, ListKind kind,
                       const std::vector<std::string>& comment) {
  std::string out;
  for (const std::string& line : comment) out += line.empty() ? "//\n" : "// " + line + "\n";
  const auto q = [](const std::string& s) { return "\"" + s + "\""; };
  for (const Entry& e : entries) {
    if (kind == ListKind::kPair) {
      out += "PAIR(" + q(e.code) + ", " + q(e.code2) + ", " + q(e.tier) + ", " + q(e.rics) + ")\n";
    } else {
      out += "ROW(" + q(e.code) + ", " + q(e.tier) + ", " + q(e.rics) + ")\n";
    }
  }
  return out;
}

bool read_def(std::string_view text, ListKind kind, std::vector<Entry>& entries,
              std::string& error) {
  const bool pair = kind == ListKind::kPair;
  std::vector<std::string> texts;
  int number = 0;
  std::string_view line;
  while (next_line(text, line)) {
    ++number;
    if (line.empty() || line.starts_with("//")) continue;
    if (!split_entry_line(line, pair ? "PAIR" : "ROW", texts) || texts.size() != (pair ? 4u : 3u)) {
      error = "line " + std::to_string(number) + ": not a " + (pair ? "PAIR" : "ROW") +
              " line of quoted texts";
      return false;
    }
    if (pair) {
      entries.push_back({texts[0], texts[1], texts[2], texts[3], 0, ""});
    } else {
      entries.push_back({texts[0], "", texts[1], texts[2], 0, ""});
    }
  }
  return true;
}

OwnedList::OwnedList(const tables::TierList& shape, const std::vector<Entry>& entries)
    : view_(shape),
      code_(cells(shape.code, entries, &Entry::code)),
      tier_(cells(shape.tier, entries, &Entry::tier)),
      rics_(cells(shape.rics, entries, &Entry::rics)) {
  view_.code = view_of(shape.code, code_);
  view_.tier = view_of(shape.tier, tier_);
  view_.rics = view_of(shape.rics, rics_);
  if (shape.code2.present()) {
    code2_ = cells(shape.code2, entries, &Entry::code2);
    view_.code2 = view_of(shape.code2, code2_);
  }
  if (shape.eflag.present()) {
    // Every entry's flag starts as "0".
    std::vector<Entry> flags(entries.size(), Entry{"0", "", "", "", 0, ""});
    eflag_ = cells(shape.eflag, flags, &Entry::code);
    view_.eflag = view_of(shape.eflag, eflag_);
  }
}

}  // namespace cmg290::cli::tier
