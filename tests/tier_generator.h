// Generated comorbid code lists for the differential tests of the tier
// search: codes from every list, near misses, "^" markers, empty cells,
// both codes of a pair at random places.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cmg290/tier_tables.h"
#include "grouper/record_checks.h"
#include "grouper/record_intake.h"

namespace cmg290::test {

using detail::ComorbidCodeList;
using detail::TableVersion;

// CMG290_DIFF_RECORDS, else 100,000.
inline int records_per_version() {
  const char* n = std::getenv("CMG290_DIFF_RECORDS");
  return n != nullptr ? std::atoi(n) : 100000;
}

template <std::size_t R, std::size_t W>
inline std::vector<std::string> column(const char (&cells)[R][W]) {
  return std::vector<std::string>(std::begin(cells) + 1, std::end(cells));
}

// Codes that the generator draws from for one version.
struct CodePool {
  std::vector<std::string> single, pairFirst, pairSecond, secondary, other;
};

inline CodePool pool_for(TableVersion v) {
  CodePool p;
  switch (v) {
    case TableVersion::V240:
      p.single = column(CmdICD240);
      p.other = column(CmdICD260);
      break;
    case TableVersion::V250:
      p.single = column(CmdICD250);
      p.other = column(CmdICD240);
      break;
    case TableVersion::V260:
    case TableVersion::V270:
      p.single = column(CmdICD260);
      p.other = column(CmdICD250);
      break;
    case TableVersion::V282:
      p.single = column(CmdICD281s1);
      p.other = column(CmdICD290s1);
      break;
    case TableVersion::V290:
      p.single = column(CmdICD290s1);
      p.other = column(CmdICD281s1);
      break;
    case TableVersion::None:
      break;
  }
  p.pairFirst = column(CmdICD290c1);
  p.pairSecond = column(CmdICD290c2);
  p.secondary = column(CmdICD290s2);
  return p;
}

class ListGenerator {
 public:
  ListGenerator(TableVersion v, unsigned seed) : pool_(pool_for(v)), rng_(seed) {}

  std::string near_miss(std::string code) {
    switch (pick(6)) {
      case 0:
        code.pop_back();
        break;  // one character short
      case 1:
        code += '^';
        break;  // one too many
      case 2:
        code[pick(static_cast<int>(code.size()))] ^= 0x20;
        break;  // case or blank flip
      case 3:
        code.erase(code.find('.'), 1);
        break;  // no point
      case 4:
        code.back() = code.back() == '^' ? '1' : '^';
        break;
      default:
        code.insert(0, "^");
        break;  // a marker in front
    }
    if (code.size() > 8) code.resize(8);
    return code;
  }

  std::string code() {
    const int k = pick(100);
    if (k < 30) return any(pool_.single);
    if (k < 42) return any(pool_.secondary);
    if (k < 50) return any(pool_.pairFirst);
    if (k < 58) return any(pool_.pairSecond);
    if (k < 66) return any(pool_.other);
    if (k < 84) return near_miss(any(k < 78 ? pool_.single : pool_.secondary));
    if (k < 90) return "";
    if (k < 94) return "^";
    if (k < 97) return "^" + any(pool_.single).substr(0, 7);
    return std::string(1 + pick(8), static_cast<char>('A' + pick(26)));
  }

  void fill(ComorbidCodeList& list) {
    std::vector<std::string> cells(25);
    const int n = pick(26);
    for (int k = 0; k < n; ++k) cells[k] = code();
    // Both codes of a pair now and then, at random places.
    if (pick(3) == 0) {
      const int r = pick(static_cast<int>(pool_.pairFirst.size()));
      cells[pick(25)] = pool_.pairFirst[r];
      cells[pick(25)] = pool_.pairSecond[r];
    }
    if (pick(4) == 0) std::shuffle(cells.begin(), cells.end(), rng_);
    for (int k = 0; k < 25; ++k) {
      std::memset(list.cell[k], 0, 9);
      std::memcpy(list.cell[k], cells[k].data(), std::min<std::size_t>(8, cells[k].size()));
    }
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

 private:
  const std::string& any(const std::vector<std::string>& v) { return v[pick(int(v.size()))]; }

  CodePool pool_;
  std::mt19937 rng_;
};

}  // namespace cmg290::test
