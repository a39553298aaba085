#include "weights.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "cmg290/tables.h"
#include "csv_records.h"
#include "figures.h"
#include "grouper/ric_exclusion.h"
#include "tiersets/sha256.h"

namespace cmg290::cli::report {

namespace {

constexpr std::string_view kHeader = "cmg,tier,weight,average_los";

// The CMG number of a four-digit text that the grouper's table holds, or -1.
int table_cmg(std::string_view text, int& row) {
  for (int r = 1; r < kCmgRows; ++r) {
    if (text == CMG[r]) {
      row = r;
      return std::stoi(std::string(text));
    }
  }
  return -1;
}

bool four_digits(std::string_view text) {
  if (text.size() != 4) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string at(const std::string& file, int line, const std::string& reason) {
  return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + reason;
}

}  // namespace

void WeightTable::set(int cmg, char tier, std::int64_t weight, std::int64_t los) {
  const int i = slot(cmg, tier);
  if (i < 0) return;
  if (weights_[i] == kNone) ++pairs_;
  weights_[i] = weight;
  los_[i] = los;
}

ReachableTiers required_tiers(const TierSet& set) {
  ReachableTiers reachable{};
  for (auto& ric : reachable) ric[0] = true;
  char rics[detail::kMaxRicListChars + 1];
  for (const TierSetList list : kTierSetLists) {
    for (int r = 1; r <= set.entries(list); ++r) {
      const TierSetRow row = set.row(list, r);
      if (row.tier < 'B' || row.tier > 'D') continue;
      const std::size_t n = std::min(row.excludedRics.size(), sizeof rics - 1);
      std::memcpy(rics, row.excludedRics.data(), n);
      rics[n] = '\0';
      for (int ric = 0; ric < 100; ++ric) {
        const char text[3] = {static_cast<char>('0' + ric / 10), static_cast<char>('0' + ric % 10),
                              '\0'};
        if (!detail::ric_excluded_blank_free(rics, text)) reachable[ric][row.tier - 'A'] = true;
      }
    }
  }
  return reachable;
}

bool parse_micros(std::string_view text, std::int64_t& micros) {
  std::int64_t whole = 0, fraction = 0;
  int wholeDigits = 0, fractionDigits = 0;
  bool point = false;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (point) {
        if (++fractionDigits > kWeightDecimals) return false;
        fraction = fraction * 10 + (c - '0');
      } else {
        if (++wholeDigits > 6) return false;
        whole = whole * 10 + (c - '0');
      }
    } else {
      return false;
    }
  }
  if (wholeDigits + fractionDigits == 0) return false;
  for (int i = fractionDigits; i < kWeightDecimals; ++i) fraction *= 10;
  micros = whole * 1000000 + fraction;
  return true;
}

bool read_weights(const std::string& file, std::string_view text, const ReachableTiers& required,
                  WeightTable& table, std::vector<std::string>& problems) {
  const std::size_t before = problems.size();
  // A spreadsheet's byte order mark is not part of the header.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::map<std::pair<int, char>, int> seen;  // pair -> line that gave it
  frontend::CsvRecords csv;
  int line = 0, recordLine = 0;
  bool header = true;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view l = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    ++line;
    if (!csv.in_quotes()) recordLine = line;
    const auto step = csv.add_line(l);
    if (step == frontend::CsvRecords::Step::More) continue;
    const std::vector<std::string>& f = csv.fields();
    if (header) {
      header = false;
      if (step == frontend::CsvRecords::Step::Error || l != kHeader) {
        problems.push_back(
            at(file, recordLine, "the header is not \"" + std::string(kHeader) + "\""));
        return false;  // the columns cannot be known
      }
      continue;
    }
    if (step == frontend::CsvRecords::Step::Error) {
      problems.push_back(at(file, recordLine, "characters after a closing quote"));
      continue;
    }
    if (f.size() == 1 && f[0].empty()) continue;  // a blank line
    if (f.size() != 4) {
      problems.push_back(
          at(file, recordLine,
             "wants 4 cells (cmg,tier,weight,average_los), has " + std::to_string(f.size())));
      continue;
    }
    int row = 0;
    int cmg = -1;
    if (!four_digits(f[0])) {
      problems.push_back(at(file, recordLine, "cmg \"" + f[0] + "\" is not four digits"));
    } else if ((cmg = table_cmg(f[0], row)) < 0) {
      problems.push_back(at(file, recordLine, "cmg " + f[0] + " is not a CMG of the grouper"));
    }
    const bool tierOk = f[1].size() == 1 && f[1][0] >= 'A' && f[1][0] <= 'D';
    if (!tierOk) problems.push_back(at(file, recordLine, "tier \"" + f[1] + "\" is not A to D"));
    std::int64_t weight = 0;
    if (!parse_micros(f[2], weight) || weight <= 0) {
      problems.push_back(at(file, recordLine,
                            "weight \"" + f[2] + "\" is not a positive number (at most " +
                                std::to_string(kWeightDecimals) + " decimals)"));
    }
    std::int64_t los = WeightTable::kNone;
    if (!f[3].empty() && (!parse_micros(f[3], los) || los <= 0)) {
      problems.push_back(
          at(file, recordLine,
             "average_los \"" + f[3] + "\" is neither empty nor a positive number of days"));
    }
    if (cmg < 0 || !tierOk) continue;
    const auto [it, fresh] = seen.emplace(std::pair{cmg, f[1][0]}, recordLine);
    if (!fresh) {
      problems.push_back(
          at(file, recordLine,
             "cmg " + f[0] + " tier " + f[1] + " repeats line " + std::to_string(it->second)));
      continue;
    }
    table.set(cmg, f[1][0], weight, los);
  }
  if (csv.in_quotes()) problems.push_back(at(file, recordLine, "a quoted cell is never closed"));
  if (header) {
    problems.push_back(at(file, 0, "empty: wants the header \"" + std::string(kHeader) + "\""));
    return false;
  }
  for (int r = 1; r < kCmgRows; ++r) {
    const int ric = std::stoi(RicCode[r]);
    const int cmg = std::stoi(CMG[r]);
    for (int t = 0; t < 4; ++t) {
      const char letter = kTierLetters[t];
      if (!required[ric][t] || seen.count({cmg, letter}) > 0) continue;
      problems.push_back(
          at(file, 0, std::string("no weight for cmg ") + CMG[r] + " tier " + letter));
    }
  }
  return problems.size() == before;
}

bool load_weights(const std::string& path, const ReachableTiers& required, WeightTable& table,
                  std::string& sha256, std::vector<std::string>& problems) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    problems.push_back(path + ": cannot be read: it is a directory");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    problems.push_back(path + ": cannot be read: " + std::strerror(errno));
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    problems.push_back(path + ": cannot be read: " + std::strerror(errno));
    return false;
  }
  sha256 = tiersets::sha256_hex(text);
  return read_weights(path, text, required, table, problems);
}

Weighted weigh(const WeightTable& weights, int cmg, char tier) {
  Weighted w;
  const std::int64_t weight = weights.weight(cmg, tier);
  if (weight == WeightTable::kNone) {
    w.unweighted = 1;
    return w;
  }
  w.weighted = 1;
  w.weightMicros = static_cast<std::uint64_t>(weight);
  const std::int64_t los = weights.average_los(cmg, tier);
  if (los != WeightTable::kNone) {
    w.losRecords = 1;
    w.losMicros = static_cast<std::uint64_t>(los);
  }
  return w;
}

}  // namespace cmg290::cli::report
