// Formats of the cells of rows 1 to N: codes, tiers, excluded-RIC lists and
// Eflags.
#include <set>

#include "checks/tier_check.h"

namespace cmg290::tables::tier_check {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_upper(char c) {
  return c >= 'A' && c <= 'Z';
}

// Three digits or "V" and two digits, a dot, up to two digits: "478.31",
// "V45.11", "042.".
bool is_early_code(std::string_view s) {
  if (s.size() < 4 || s.size() > 6) return false;
  if (!(is_digit(s[0]) || s[0] == 'V') || !is_digit(s[1]) || !is_digit(s[2]) || s[3] != '.') {
    return false;
  }
  for (std::size_t i = 4; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
  }
  return true;
}

// A capital letter and two digits, a dot, up to four digits or capitals, then
// "^" up to eight characters: "J38.01^^", "T81.72XA", "A35.^^^^".
bool is_late_code(std::string_view s) {
  if (s.size() != 8 || !is_upper(s[0]) || !is_digit(s[1]) || !is_digit(s[2]) || s[3] != '.') {
    return false;
  }
  std::size_t i = 4;
  while (i < s.size() && (is_digit(s[i]) || is_upper(s[i]))) ++i;
  while (i < s.size() && s[i] == '^') ++i;
  return i == s.size();
}

bool is_known_ric(std::string_view ric) {
  for (const std::string_view known : ex::kRics) {
    if (ric == known) return true;
  }
  return false;
}

// The first RIC of a sound excluded-RIC list that the documented lists never
// exclude; empty when there is none.
std::string_view undocumented_ric(std::string_view s) {
  for (std::size_t i = 0; i + 1 < s.size(); ++i) {
    if (is_digit(s[i]) && is_digit(s[i + 1]) && !is_known_ric(s.substr(i, 2))) {
      return s.substr(i, 2);
    }
  }
  return {};
}

// What is wrong with an excluded-RIC list; empty when it is sound. Early
// lists separate RICs by ",", late ones by ", " and may end in one blank.
std::string rics_fault(std::string_view s, bool late) {
  if (s == " ") return {};
  const std::string_view separator = late ? ", " : ",";
  const std::size_t longest = late ? 11 : 8;
  const std::string shape =
      std::string("is neither \" \" nor RICs separated by ") + quoted(separator);
  if (s.size() > longest) return "is longer than " + std::to_string(longest) + " characters";
  std::string_view rest = s;
  if (late && rest.size() > 2 && rest.back() == ' ') rest.remove_suffix(1);
  std::set<std::string_view> seen;
  for (;;) {
    if (rest.size() < 2 || !is_digit(rest[0]) || !is_digit(rest[1])) return shape;
    const std::string_view ric = rest.substr(0, 2);
    if (!is_known_ric(ric) && !assigned_ric(ric)) {
      return "names RIC " + quoted(ric) + ", which the grouper never assigns";
    }
    if (!seen.insert(ric).second) return "names RIC " + quoted(ric) + " twice";
    rest.remove_prefix(2);
    if (rest.empty()) return {};
    if (!rest.starts_with(separator)) return shape;
    rest.remove_prefix(separator.size());
  }
}

}  // namespace

void check_formats(Report& rep, const TierList& l) {
  const bool late = l.kind != ListKind::kEarlySingle;
  const char* codeForm = late ? " is not an ICD-10-CM code of eight characters filled with \"^\""
                              : " is not an ICD-9-CM code (three digits or \"V\" and two digits, "
                                "a dot, up to two digits)";
  for (int r = 1; r <= entries(l); ++r) {
    for (const Column* c : {&l.code, &l.code2}) {
      if (!c->present()) continue;
      const std::string_view code = text(*c, r);
      if (!(late ? is_late_code(code) : is_early_code(code))) {
        rep.row(l, r, std::string(c->name) + " " + quoted(code) + codeForm);
      }
    }
    const std::string_view tier = text(l.tier, r);
    if (tier != "B" && tier != "C" && tier != "D") {
      rep.row(l, r,
              std::string(l.tier.name) + " " + quoted(tier) + " is not \"B\", \"C\" or \"D\"");
    }
    const std::string_view rics = text(l.rics, r);
    if (const std::string fault = rics_fault(rics, late); !fault.empty()) {
      rep.row(l, r, std::string(l.rics.name) + " " + quoted(rics) + " " + fault);
    } else if (const std::string_view ric = undocumented_ric(rics); !ric.empty()) {
      // The searches take any RIC the grouper assigns: a deviation at most.
      rep.row(TierFault::kContents, l, r,
              "excludes RIC " + quoted(ric) + ", which the documented lists never exclude (they " +
                  "exclude " + documented_rics() + ")");
    }
    if (l.eflag.present() && text(l.eflag, r) != "0") {
      rep.row(l, r,
              std::string(l.eflag.name) + " " + quoted(text(l.eflag, r)) + ", expected \"0\"");
    }
  }
}

}  // namespace cmg290::tables::tier_check
