// Comorbidity tier lists as CSV.
#include "tiersets/set_csv.h"

#include <algorithm>
#include <map>

#include "checks/tier_check.h"
#include "checks/tier_expected.h"

namespace cmg290::tiersets {

namespace {

using tables::tier_check::quoted;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_upper(char c) {
  return c >= 'A' && c <= 'Z';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string csv_field(std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos && trim(s) == s) return std::string(s);
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Splits one CSV line into its fields. False when a quoted field is not
// closed or is followed by anything but a comma.
bool split_csv_line(std::string_view line, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t i = 0;
  for (;;) {
    std::string field;
    if (i < line.size() && line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return false;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
      if (i < line.size() && line[i] != ',') return false;
    } else {
      const std::size_t comma = std::min(line.find(',', i), line.size());
      field = line.substr(i, comma - i);
      i = comma;
    }
    fields.push_back(std::move(field));
    if (i >= line.size()) return true;
    ++i;  // the comma
  }
}

// "478.31", "V44.0", "042.": three digits or "V" and two digits, a dot, up
// to two digits.
bool normalize_early(std::string_view s, std::string& code, std::string& reason) {
  const bool head =
      s.size() >= 3 && (is_digit(s[0]) || s[0] == 'V') && is_digit(s[1]) && is_digit(s[2]);
  std::string_view rest = head ? s.substr(3) : s;
  if (head && rest.starts_with('.')) rest.remove_prefix(1);
  if (!head || !std::ranges::all_of(rest, is_digit)) {
    reason = "code " + quoted(s) +
             " is not an ICD-9-CM code (three digits or \"V\" and two digits, a dot, digits)";
    return false;
  }
  if (rest.size() > 2) {
    reason = "code " + quoted(s) + " is too long: at most two digits after the dot";
    return false;
  }
  code = std::string(s.substr(0, 3)) + "." + std::string(rest);
  return true;
}

// "J38.01^^": a capital letter and two digits, a dot, up to four digits or
// capitals, "^" to eight characters.
bool normalize_late(std::string_view s, std::string& code, std::string& reason) {
  const bool head = s.size() >= 3 && is_upper(s[0]) && is_digit(s[1]) && is_digit(s[2]);
  std::string_view rest = head ? s.substr(3) : s;
  if (head && rest.starts_with('.')) rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == '^') rest.remove_suffix(1);
  if (!head || !std::ranges::all_of(rest, [](char c) { return is_digit(c) || is_upper(c); })) {
    reason = "code " + quoted(s) +
             " is not an ICD-10-CM code (a capital letter and two digits, a dot, digits or "
             "capitals, \"^\" filler)";
    return false;
  }
  if (rest.size() > 4) {
    reason = "code " + quoted(s) + " is too long: at most four characters after the dot";
    return false;
  }
  code = std::string(s.substr(0, 3)) + "." + std::string(rest);
  code.resize(8, '^');
  return true;
}

int tier_rank(const std::string& tier) {
  return tier[0] - 'B';
}

// The separator a line uses when it is not the comma: "\";\" (semicolons)"
// or "tabs", when the line holds no comma but that separator; else empty.
std::string other_separator(std::string_view line) {
  if (line.find(',') != std::string_view::npos) return {};
  if (line.find(';') != std::string_view::npos) return "\";\" (semicolons)";
  if (line.find('\t') != std::string_view::npos && !trim(line).empty()) return "tabs";
  return {};
}

// A word of the placeholder column, in lower case; false for an unknown one.
bool read_mark(std::string_view field, std::string& mark) {
  std::string word(trim(field));
  for (char& c : word) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (!word.empty() && word != kPlaceholderMark && word != kOfficialMark) return false;
  mark = std::move(word);
  return true;
}

}  // namespace

std::size_t max_code_chars(ListKind kind) {
  return kind == ListKind::kEarlySingle ? 6 : 8;
}

std::size_t max_rics_chars(ListKind kind) {
  // What the excluded-RIC cells of every compiled list of this kind hold.
  int width = 0;
  for (const tables::TierListInfo& l : tables::kTierLists) {
    if (l.kind == kind && (width == 0 || l.ricsWidth < width)) width = l.ricsWidth;
  }
  return width == 0 ? 0 : static_cast<std::size_t>(width - 1);
}

std::string_view ric_separator(ListKind kind) {
  return kind == ListKind::kEarlySingle ? "," : ", ";
}

bool has_marks(ListKind kind) {
  return kind == ListKind::kEarlySingle || kind == ListKind::kLateSingle;
}

std::string_view csv_header(ListKind kind, bool marks) {
  if (kind == ListKind::kPair) return "code_1,code_2,tier,excluded_rics";
  return marks && has_marks(kind) ? "code,tier,excluded_rics,placeholder"
                                  : "code,tier,excluded_rics";
}

std::string write_csv(const std::vector<CsvEntry>& entries, ListKind kind, bool marks) {
  marks = marks && has_marks(kind);
  std::string out(csv_header(kind, marks));
  out += '\n';
  for (const CsvEntry& e : entries) {
    out += csv_field(e.code) + ",";
    if (kind == ListKind::kPair) out += csv_field(e.code2) + ",";
    out += csv_field(e.tier) + "," + (e.rics == " " ? "" : csv_field(e.rics));
    if (marks) out += "," + csv_field(e.mark);
    out += "\n";
  }
  return out;
}

bool normalize_code(std::string_view text, ListKind kind, std::string& code, std::string& reason) {
  const std::string_view s = trim(text);
  if (s.empty()) {
    reason = "the code is empty";
    return false;
  }
  return kind == ListKind::kEarlySingle ? normalize_early(s, code, reason)
                                        : normalize_late(s, code, reason);
}

bool normalize_rics(std::string_view text, ListKind kind, std::string& rics, std::string& reason,
                    std::size_t maxChars) {
  if (maxChars == 0) maxChars = max_rics_chars(kind);
  std::string_view s = trim(text);
  if (s.empty()) {
    rics = " ";
    return true;
  }
  std::vector<std::string> names;
  for (;;) {
    const std::size_t end = std::min(s.find_first_of(",;"), s.size());
    const std::string_view item = trim(s.substr(0, end));
    if (item.empty() || item.size() > 2 || !std::ranges::all_of(item, is_digit)) {
      reason = "excluded RICs " + quoted(text) + " are not RIC numbers separated by \",\" or \";\"";
      return false;
    }
    const std::string ric = item.size() == 1 ? "0" + std::string(item) : std::string(item);
    if (!tables::tier_check::assigned_ric(ric)) {
      reason = "unknown RIC " + quoted(item) + " in excluded RICs " + quoted(text) +
               ": the grouper assigns RICs 01 to 21, and the documented lists exclude " +
               tables::tier_check::documented_rics();
      return false;
    }
    if (std::ranges::find(names, ric) != names.end()) {
      reason = "RIC " + quoted(ric) + " is named twice in " + quoted(text);
      return false;
    }
    names.push_back(ric);
    if (end == s.size()) break;
    s.remove_prefix(end + 1);
  }
  rics.clear();
  for (const std::string& n : names) {
    if (!rics.empty()) rics += ric_separator(kind);
    rics += n;
  }
  if (kind != ListKind::kEarlySingle && text.ends_with(' ')) rics += ' ';
  if (rics.size() > maxChars) {
    reason = "excluded RICs " + quoted(text) + " name too many RICs for a list of this kind (" +
             std::to_string(maxChars) + " characters at most)";
    return false;
  }
  return true;
}

std::vector<CsvEntry> read_csv(std::string_view text, ListKind kind, bool sort,
                               std::vector<CsvError>& errors, std::size_t maxRicsChars) {
  const bool pair = kind == ListKind::kPair;
  std::size_t fieldCount = pair ? 4 : 3;
  bool marks = false;  // the header names the placeholder column
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  std::vector<CsvEntry> entries;
  std::map<std::string, int> seen;  // code (or "code_1 code_2") -> line
  std::vector<std::string> fields;
  bool headerSeen = false;
  int number = 0;
  std::string_view line;
  while (next_line(text, line)) {
    ++number;
    const auto fail = [&](std::string reason) { errors.push_back({number, std::move(reason)}); };

    if (line.find('\0') != std::string_view::npos) {
      fail("the line holds a zero byte");
      continue;
    }
    // A list saved with another separator gives one fault, not one a line.
    if (const std::string other = headerSeen ? "" : other_separator(line); !other.empty()) {
      fail("the fields are separated by " + other +
           ", not by commas: save the list again as CSV with \",\" as the field separator "
           "(in a spreadsheet: Save As, Text CSV, field delimiter \",\")");
      return {};
    }
    if (!split_csv_line(line, fields)) {
      fail("a quoted field is not closed, or is followed by more than a comma");
      continue;
    }
    if (std::ranges::all_of(fields, [](const std::string& f) { return trim(f).empty(); })) {
      continue;
    }
    if (!headerSeen) {
      headerSeen = true;
      std::string header;
      for (const std::string& f : fields)
        header += (header.empty() ? "" : ",") + std::string(trim(f));
      const bool known = header == csv_header(kind) || header == csv_header(kind, true);
      if (!known) {
        fail("missing header: the first line must be " + quoted(csv_header(kind)) +
             (has_marks(kind) ? " or " + quoted(csv_header(kind, true)) : ""));
      }
      // Under a faulty header the rows are read as they come, with the
      // placeholder column or without.
      marks = has_marks(kind) && (header == csv_header(kind, true) || !known);
      if (marks) fieldCount = 4;
      continue;
    }
    // A spreadsheet may leave out an empty last column.
    if (marks && fields.size() == 3) fields.emplace_back();
    if (fields.size() != fieldCount) {
      fail("expected " + std::to_string(fieldCount) + " fields (" +
           std::string(csv_header(kind, marks)) + "), found " + std::to_string(fields.size()));
      continue;
    }

    CsvEntry e;
    e.line = number;
    std::string reason;
    bool ok = normalize_code(fields[0], kind, e.code, reason);
    if (ok && pair) ok = normalize_code(fields[1], kind, e.code2, reason);
    if (!ok) {
      fail(reason);
      continue;
    }
    const std::string_view tier = trim(fields[pair ? 2 : 1]);
    if (tier != "B" && tier != "C" && tier != "D") {
      fail("unknown tier " + quoted(tier) + " (B, C or D)");
      continue;
    }
    e.tier = tier;
    if (!normalize_rics(fields[pair ? 3 : 2], kind, e.rics, reason, maxRicsChars)) {
      fail(reason);
      continue;
    }
    if (marks && !read_mark(fields[3], e.mark)) {
      fail("unknown word " + quoted(trim(fields[3])) +
           " in the placeholder column: leave it empty, " + "or write \"" +
           std::string(kPlaceholderMark) + "\" or \"" + std::string(kOfficialMark) + "\"");
      continue;
    }
    const std::string key = pair ? e.code + " " + e.code2 : e.code;
    if (const auto [at, added] = seen.emplace(key, number); !added) {
      fail((pair ? "pair " + quoted(e.code) + ", " + quoted(e.code2) : "code " + quoted(e.code)) +
           " is listed twice (first on line " + std::to_string(at->second) + ")");
      continue;
    }
    entries.push_back(std::move(e));
  }
  if (!headerSeen) errors.push_back({1, "missing header: the file holds no lines"});

  if (sort) {
    std::ranges::stable_sort(entries, [pair](const CsvEntry& a, const CsvEntry& b) {
      if (a.tier != b.tier) return tier_rank(a.tier) < tier_rank(b.tier);
      return !pair && a.code < b.code;
    });
  }
  return entries;
}

bool next_line(std::string_view& text, std::string_view& line) {
  if (text.empty()) return false;
  const std::size_t end = text.find('\n');
  line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return true;
}

}  // namespace cmg290::tiersets
