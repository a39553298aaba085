// The comorbidity tier lists as data files and as columns.
#include "tier_lists.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace cmg290::cli::tier {

namespace {

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

// "2.60 and 2.70": the labels of the versions the list serves.
std::string versions_of(const tables::TierListInfo& list) {
  std::vector<std::string_view> labels;
  for (const detail::TableVersionInfo& v : detail::kTableVersions) {
    if (list.serves(v.id)) labels.push_back(v.label);
  }
  std::string out;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (i > 0) out += i + 1 == labels.size() ? " and " : ", ";
    out += labels[i];
  }
  return out;
}

}  // namespace

const std::vector<ListFile>& all_list_files() {
  static const std::vector<ListFile> files = [] {
    std::vector<ListFile> out;
    for (const tables::TierListInfo& l : tables::kTierLists) {
      out.push_back({l.file, l.kind, versions_of(l), l.list, tables::compiled_sets(l.list)});
    }
    return out;
  }();
  return files;
}

const ListFile* find_list(std::string_view version, std::string_view list, std::string& error) {
  const detail::TableVersion v = tables::version_of_label(version);
  if (v == detail::TableVersion::None) {
    std::string labels;
    for (std::size_t i = 0; i < std::size(detail::kTableVersions); ++i) {
      if (i > 0) labels += i + 1 == std::size(detail::kTableVersions) ? " or " : ", ";
      labels += detail::kTableVersions[i].label;
    }
    error = "no table version " + std::string(version) + " (" + labels + ")";
    return nullptr;
  }
  const tables::VersionLists& lists = tables::lists_of(v);
  const auto& files = all_list_files();
  if (list == "single") return &files[static_cast<std::size_t>(lists.single)];
  if (list != "pair" && list != "secondary") {
    error = "no list " + std::string(list) + " (single, pair or secondary)";
    return nullptr;
  }
  if (!lists.pairStage) {
    error = "table version " + std::string(version) + " has no " + std::string(list) + " list";
    return nullptr;
  }
  return &files[static_cast<std::size_t>(list == "pair" ? TierSetList::Pair
                                                        : TierSetList::Secondary)];
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

}  // namespace cmg290::cli::tier
