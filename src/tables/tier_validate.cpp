// Structural checks of the comorbidity tier tables.
#include "tier_validate.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <span>
#include <string_view>

#include "cmg290/tier_tables.h"
#include "tier_expected.h"

namespace cmg290::tables {

TierTables compiled_tier_tables() {
  TierTables t;
  t.list240 = {"240", ListKind::kEarlySingle,           column("CmdICD240", CmdICD240),
               {},    column("CmdTier240", CmdTier240), column("CmdRIC240", CmdRIC240),
               {}};
  t.list250 = {"250", ListKind::kEarlySingle,           column("CmdICD250", CmdICD250),
               {},    column("CmdTier250", CmdTier250), column("CmdRIC250", CmdRIC250),
               {}};
  t.list260 = {"260", ListKind::kEarlySingle,           column("CmdICD260", CmdICD260),
               {},    column("CmdTier260", CmdTier260), column("CmdRIC260", CmdRIC260),
               {}};
  t.list281s1 = {"281s1",
                 ListKind::kLateSingle,
                 column("CmdICD281s1", CmdICD281s1),
                 {},
                 column("CmdTier281s1", CmdTier281s1),
                 column("CmdRIC281s1", CmdRIC281s1),
                 {}};
  t.list290s1 = {"290s1",
                 ListKind::kLateSingle,
                 column("CmdICD290s1", CmdICD290s1),
                 {},
                 column("CmdTier290s1", CmdTier290s1),
                 column("CmdRIC290s1", CmdRIC290s1),
                 {}};
  t.list281c = {"281c",
                ListKind::kPair,
                column("CmdICD281c1", CmdICD281c1),
                column("CmdICD281c2", CmdICD281c2),
                column("CmdTier281c", CmdTier281c),
                column("CmdRIC281c", CmdRIC281c),
                {}};
  t.list290c = {"290c",
                ListKind::kPair,
                column("CmdICD290c1", CmdICD290c1),
                column("CmdICD290c2", CmdICD290c2),
                column("CmdTier290c", CmdTier290c),
                column("CmdRIC290c", CmdRIC290c),
                {}};
  t.list281s2 = {"281s2",
                 ListKind::kSecondary,
                 column("CmdICD281s2", CmdICD281s2),
                 {},
                 column("CmdTier281s2", CmdTier281s2),
                 column("CmdRIC281s2", CmdRIC281s2),
                 column("CmdEflag281s2", CmdEflag281s2)};
  t.list290s2 = {"290s2",
                 ListKind::kSecondary,
                 column("CmdICD290s2", CmdICD290s2),
                 {},
                 column("CmdTier290s2", CmdTier290s2),
                 column("CmdRIC290s2", CmdRIC290s2),
                 column("CmdEflag290s2", CmdEflag290s2)};
  return t;
}

namespace {

namespace ex = expected;

// ---------------------------------------------------------------------------
// Texts and reporting

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += ch;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

std::string entry_text(std::string_view code, std::string_view tier, std::string_view rics) {
  return quoted(code) + " " + quoted(tier) + " " + quoted(rics);
}

// The text of a cell up to its terminator; the whole cell when it has none.
std::string_view text(const Column& c, int row) {
  const char* p = c.cell(row);
  const void* end = std::memchr(p, '\0', static_cast<std::size_t>(c.width));
  const auto length = end ? static_cast<const char*>(end) - p : c.width;
  return {p, static_cast<std::size_t>(length)};
}

int entries(const TierList& l) {
  return l.code.rows - 1;
}

class Report {
 public:
  explicit Report(std::vector<std::string>& out) : out_(out) {}

  void list(const TierList& l, const std::string& what) {
    out_.push_back("list " + std::string(l.name) + ": " + what);
  }
  void row(const TierList& l, int row, const std::string& what) {
    out_.push_back("list " + std::string(l.name) + " row " + std::to_string(row) + ": " + what);
  }

 private:
  std::vector<std::string>& out_;
};

// ---------------------------------------------------------------------------
// Shapes and cells

struct Shape {
  int entries;
  int codeWidth;
  int tierWidth;
  int ricsWidth;
  std::string_view codeRow0;
  std::string_view ricsRow0;
};

constexpr std::string_view kEightBlanks = "        ";
constexpr Shape kShape240 = {946, 8, 8, 20, " ", " "};
constexpr Shape kShape250 = {951, 8, 2, 20, " ", " "};
constexpr Shape kShape260 = {967, 8, 2, 20, " ", " "};
constexpr Shape kShape281s1 = {1002, 9, 3, 21, kEightBlanks, " "};
constexpr Shape kShape290s1 = {1156, 9, 3, 21, kEightBlanks, "  "};
constexpr Shape kShapePair = {63, 9, 3, 21, kEightBlanks, " "};
constexpr Shape kShapeSecondary = {48, 9, 3, 21, kEightBlanks, " "};
constexpr int kEflagWidth = 3;

struct ColumnRule {
  const Column* column;
  const char* role;
  int width;
  std::string_view row0;
};

std::vector<ColumnRule> column_rules(const TierList& l, const Shape& s) {
  std::vector<ColumnRule> rules = {{&l.code, "code", s.codeWidth, s.codeRow0}};
  if (l.kind == ListKind::kPair)
    rules.push_back({&l.code2, "second code", s.codeWidth, s.codeRow0});
  rules.push_back({&l.tier, "tier", s.tierWidth, " "});
  rules.push_back({&l.rics, "excluded-RIC", s.ricsWidth, s.ricsRow0});
  if (l.kind == ListKind::kSecondary) rules.push_back({&l.eflag, "Eflag", kEflagWidth, " "});
  return rules;
}

// Rows and widths, terminators, zero padding and row 0 of every column.
// False when a column is missing or misshapen, so that nothing else of the
// list can be checked safely.
bool check_cells(Report& rep, const TierList& l, const Shape& s) {
  bool shaped = true;
  for (const ColumnRule& rule : column_rules(l, s)) {
    const Column& c = *rule.column;
    if (!c.present()) {
      rep.list(l, std::string("has no ") + rule.role + " column");
      shaped = false;
      continue;
    }
    if (c.rows != s.entries + 1 || c.width != rule.width) {
      rep.list(l, std::string(c.name) + " has " + std::to_string(c.rows) + " rows of " +
                      std::to_string(c.width) + " bytes, expected " +
                      std::to_string(s.entries + 1) + " rows of " + std::to_string(rule.width));
      shaped = false;
      continue;
    }
    for (int r = 0; r < c.rows; ++r) {
      const std::string_view t = text(c, r);
      if (t.size() == static_cast<std::size_t>(c.width)) {
        rep.row(l, r, std::string(c.name) + " has no terminating zero");
        continue;
      }
      for (std::size_t k = t.size() + 1; k < static_cast<std::size_t>(c.width); ++k) {
        if (c.cell(r)[k] != '\0') {
          rep.row(l, r,
                  std::string(c.name) + " byte " + std::to_string(k) +
                      " after the terminator is not zero");
          break;
        }
      }
    }
    if (text(c, 0) != rule.row0) {
      rep.row(
          l, 0,
          std::string(c.name) + " holds " + quoted(text(c, 0)) + ", expected " + quoted(rule.row0));
    }
  }
  return shaped;
}

// ---------------------------------------------------------------------------
// Formats of the cells of rows 1 to N

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
    if (!is_known_ric(ric)) return "names RIC " + quoted(ric) + ", which these lists never exclude";
    if (!seen.insert(ric).second) return "names RIC " + quoted(ric) + " twice";
    rest.remove_prefix(2);
    if (rest.empty()) return {};
    if (!rest.starts_with(separator)) return shape;
    rest.remove_prefix(separator.size());
  }
}

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
    }
    if (l.eflag.present() && text(l.eflag, r) != "0") {
      rep.row(l, r,
              std::string(l.eflag.name) + " " + quoted(text(l.eflag, r)) + ", expected \"0\"");
    }
  }
}

// ---------------------------------------------------------------------------
// Order, duplicates and fixed rows

// Groups B, C, D in this order, ascending byte order of the code inside a
// group, no code twice.
void check_order(Report& rep, const TierList& l) {
  std::map<std::string_view, int> firstRow;
  for (int r = 1; r <= entries(l); ++r) {
    const std::string_view code = text(l.code, r);
    if (const auto [at, fresh] = firstRow.emplace(code, r); !fresh) {
      rep.row(l, r, "code " + quoted(code) + " already at row " + std::to_string(at->second));
      continue;
    }
    if (r == 1) continue;
    const std::string_view tier = text(l.tier, r);
    const std::string_view before = text(l.tier, r - 1);
    if (tier.size() != 1 || before.size() != 1) continue;
    if (tier < before) {
      rep.row(l, r,
              "tier " + quoted(tier) + " follows tier " + quoted(before) +
                  ": the groups must run B, C, D");
    } else if (tier == before && code < text(l.code, r - 1)) {
      rep.row(l, r,
              "code " + quoted(code) + " is out of ascending byte order after " +
                  quoted(text(l.code, r - 1)));
    }
  }
}

void expect_row(Report& rep, const TierList& l, int row, const ex::Entry& e) {
  const std::string_view code = text(l.code, row);
  const std::string_view tier = text(l.tier, row);
  const std::string_view rics = text(l.rics, row);
  if (code != e.code || tier != e.tier || rics != e.rics) {
    rep.row(l, row,
            "holds " + entry_text(code, tier, rics) + ", expected " +
                entry_text(e.code, e.tier, e.rics));
  }
}

// Rows 1 to the end of the C group, the first three D rows after them, and
// the last three rows.
void check_fixed_rows(Report& rep, const TierList& l, std::span<const ex::Entry> leading,
                      std::span<const ex::Entry> firstD, std::span<const ex::Entry> lastD) {
  int row = 1;
  for (const ex::Entry& e : leading) expect_row(rep, l, row++, e);
  for (const ex::Entry& e : firstD) expect_row(rep, l, row++, e);
  row = entries(l) - static_cast<int>(lastD.size()) + 1;
  for (const ex::Entry& e : lastD) expect_row(rep, l, row++, e);
}

void check_three_char_early(Report& rep, const TierList& l) {
  std::set<std::string_view> found;
  for (int r = 1; r <= entries(l); ++r) {
    const std::string_view code = text(l.code, r);
    if (code.size() != 4) continue;
    found.insert(code);
    bool listed = false;
    for (const std::string_view known : ex::kEarlyThreeChar) listed = listed || known == code;
    if (!listed) {
      rep.row(l, r, "three-character code " + quoted(code) + " is not one of the 14 allowed");
    }
  }
  for (const std::string_view known : ex::kEarlyThreeChar) {
    if (!found.contains(known))
      rep.list(l, "three-character code " + quoted(known) + " is missing");
  }
}

void check_three_char_late(Report& rep, const TierList& l) {
  int count = 0;
  bool named = false;
  for (int r = 1; r <= entries(l); ++r) {
    const std::string_view code = text(l.code, r);
    if (code.size() == 8 && code.substr(4) == "^^^^") {
      ++count;
      named = named || code == ex::kLateThreeCharNamed;
    }
  }
  if (count != ex::kLateThreeCharCount) {
    rep.list(l, "holds " + std::to_string(count) + " three-character categories, expected " +
                    std::to_string(ex::kLateThreeCharCount));
  }
  if (!named)
    rep.list(l, "three-character category " + quoted(ex::kLateThreeCharNamed) + " is missing");
}

// ---------------------------------------------------------------------------
// Excluded-RIC list counts

struct RicCount {
  std::string_view rics;
  int count;
};

void check_ric_counts(Report& rep, const TierList& l, const std::vector<RicCount>& expectedCounts) {
  std::map<std::string_view, int> found;
  for (int r = 1; r <= entries(l); ++r) ++found[text(l.rics, r)];
  for (const RicCount& e : expectedCounts) {
    const auto at = found.find(e.rics);
    const int got = at == found.end() ? 0 : at->second;
    if (got != e.count) {
      rep.list(l, "excluded-RIC list " + quoted(e.rics) + " is carried by " + std::to_string(got) +
                      " entries, expected " + std::to_string(e.count));
    }
    if (at != found.end()) found.erase(at);
  }
  for (const auto& [rics, got] : found) {
    rep.list(l, "excluded-RIC list " + quoted(rics) + " is carried by " + std::to_string(got) +
                    " entries, expected none");
  }
}

template <typename Row, typename Member>
std::vector<RicCount> counts_of(std::span<const Row> rows, Member member) {
  std::vector<RicCount> out;
  for (const Row& row : rows) {
    if (row.*member > 0) out.push_back({row.rics, row.*member});
  }
  return out;
}

// ---------------------------------------------------------------------------
// Differences between versions

struct Change {
  std::string code;
  std::string tier;
  std::string rics;
};

std::vector<Change> changes(std::span<const ex::Entry> entries) {
  std::vector<Change> out;
  for (const ex::Entry& e : entries)
    out.push_back({std::string(e.code), std::string(e.tier), std::string(e.rics)});
  return out;
}

std::map<std::string_view, int> rows_by_code(const TierList& l) {
  std::map<std::string_view, int> rows;
  for (int r = 1; r <= entries(l); ++r) rows.emplace(text(l.code, r), r);
  return rows;
}

bool has_trailing_blank_change(std::string_view code) {
  for (const std::string_view c : ex::kTrailingBlankCodes) {
    if (c == code) return true;
  }
  return false;
}

// `to` is `from` without `drops` and with `adds`; every shared code keeps its
// tier, its excluded-RIC list (except the entries whose list gains a trailing
// blank in 2.90) and its order relative to the other shared codes.
void check_versions(Report& rep, const TierList& from, const TierList& to,
                    const std::vector<Change>& drops, const std::vector<Change>& adds) {
  const std::map<std::string_view, int> fromRows = rows_by_code(from);
  const std::map<std::string_view, int> toRows = rows_by_code(to);
  std::set<std::string_view> dropped, added;
  for (const Change& d : drops) {
    dropped.insert(d.code);
    if (const auto at = fromRows.find(d.code); at == fromRows.end()) {
      rep.list(from, "code " + quoted(d.code) + " is missing (dropped after this list)");
    } else {
      expect_row(rep, from, at->second, {d.code, d.tier, d.rics});
    }
    if (const auto at = toRows.find(d.code); at != toRows.end()) {
      rep.row(
          to, at->second,
          "code " + quoted(d.code) + " must not be listed (dropped after list " + from.name + ")");
    }
  }
  for (const Change& a : adds) {
    added.insert(a.code);
    if (const auto at = toRows.find(a.code); at == toRows.end()) {
      rep.list(to, "code " + quoted(a.code) + " is missing (added after list " + from.name + ")");
    } else {
      expect_row(rep, to, at->second, {a.code, a.tier, a.rics});
    }
    if (const auto at = fromRows.find(a.code); at != fromRows.end()) {
      rep.row(
          from, at->second,
          "code " + quoted(a.code) + " must not be listed (added only in list " + to.name + ")");
    }
  }

  const bool late = from.kind == ListKind::kLateSingle;
  int lastToRow = 0;
  for (int r = 1; r <= entries(from); ++r) {
    const std::string_view code = text(from.code, r);
    if (dropped.contains(code)) continue;
    const auto at = toRows.find(code);
    if (at == toRows.end()) {
      rep.row(
          from, r,
          "code " + quoted(code) + " is missing from list " + to.name + ", which does not drop it");
      continue;
    }
    const int t = at->second;
    if (text(to.tier, t) != text(from.tier, r)) {
      rep.row(to, t,
              "code " + quoted(code) + " has tier " + quoted(text(to.tier, t)) + " here but " +
                  quoted(text(from.tier, r)) + " in list " + from.name);
    }
    if (late && has_trailing_blank_change(code)) {
      if (text(from.rics, r) != ex::kRics282) {
        rep.row(from, r, "code " + quoted(code) + " must carry " + quoted(ex::kRics282));
      }
      if (text(to.rics, t) != ex::kRics290) {
        rep.row(to, t, "code " + quoted(code) + " must carry " + quoted(ex::kRics290));
      }
    } else if (text(to.rics, t) != text(from.rics, r)) {
      rep.row(to, t,
              "code " + quoted(code) + " excludes " + quoted(text(to.rics, t)) + " here but " +
                  quoted(text(from.rics, r)) + " in list " + from.name);
    }
    if (t < lastToRow) {
      rep.row(to, t, "code " + quoted(code) + " is out of the order of list " + from.name);
    }
    lastToRow = t;
  }
  for (int r = 1; r <= entries(to); ++r) {
    const std::string_view code = text(to.code, r);
    if (!added.contains(code) && !fromRows.contains(code)) {
      rep.row(to, r,
              "code " + quoted(code) + " is neither in list " + from.name +
                  " nor among the codes added after it");
    }
  }
}

std::vector<Change> diabetes_codes(bool split) {
  std::vector<Change> out;
  for (const std::string_view family : ex::kDiabetesFamilies) {
    for (const std::string_view suffix : ex::kDiabetesSuffixes) {
      const std::string stem = std::string(family) + std::string(suffix);
      if (!split) {
        out.push_back({stem + "^", "D", " "});
        continue;
      }
      for (const std::string_view last : ex::kDiabetesFinal) {
        out.push_back({stem + std::string(last), "D", " "});
      }
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Pair and secondary lists

void check_pairs(Report& rep, const TierList& l) {
  int r = 1;
  for (const ex::Pair& e : ex::kPairs) {
    const std::string_view c1 = text(l.code, r);
    const std::string_view c2 = text(l.code2, r);
    const std::string_view tier = text(l.tier, r);
    const std::string_view rics = text(l.rics, r);
    if (c1 != e.code1 || c2 != e.code2 || tier != e.tier || rics != e.rics) {
      rep.row(l, r,
              "holds " + quoted(c1) + " " + entry_text(c2, tier, rics) + ", expected " +
                  quoted(e.code1) + " " + entry_text(e.code2, e.tier, e.rics));
    }
    ++r;
  }
}

void check_secondary(Report& rep, const TierList& l) {
  int r = 1;
  for (const ex::Entry& e : ex::kSecondary) expect_row(rep, l, r++, e);
}

// The columns of `b` are byte for byte those of `a`.
void check_identical(Report& rep, const TierList& a, const TierList& b) {
  const std::pair<const Column*, const Column*> pairs[] = {{&a.code, &b.code},
                                                           {&a.code2, &b.code2},
                                                           {&a.tier, &b.tier},
                                                           {&a.rics, &b.rics},
                                                           {&a.eflag, &b.eflag}};
  for (const auto& [ca, cb] : pairs) {
    if (!ca->present() || !cb->present()) continue;
    for (int r = 0; r < ca->rows; ++r) {
      if (std::memcmp(ca->cell(r), cb->cell(r), static_cast<std::size_t>(ca->width)) != 0) {
        rep.row(b, r, std::string(cb->name) + " differs from " + ca->name);
      }
    }
  }
}

// No code of the pair or secondary list in the single-code list; every
// secondary code in the pair list.
void check_relations(Report& rep, const TierList& single, const TierList& pairs,
                     const TierList& secondary) {
  std::set<std::string_view> pairCodes, secondaryCodes;
  for (int r = 1; r <= entries(pairs); ++r) {
    pairCodes.insert(text(pairs.code, r));
    pairCodes.insert(text(pairs.code2, r));
  }
  for (int r = 1; r <= entries(secondary); ++r) secondaryCodes.insert(text(secondary.code, r));
  for (int r = 1; r <= entries(single); ++r) {
    const std::string_view code = text(single.code, r);
    if (pairCodes.contains(code)) {
      rep.row(single, r, "code " + quoted(code) + " also occurs in list " + pairs.name);
    }
    if (secondaryCodes.contains(code)) {
      rep.row(single, r, "code " + quoted(code) + " also occurs in list " + secondary.name);
    }
  }
  for (int r = 1; r <= entries(secondary); ++r) {
    const std::string_view code = text(secondary.code, r);
    if (!pairCodes.contains(code)) {
      rep.row(secondary, r, "code " + quoted(code) + " occurs in no entry of list " + pairs.name);
    }
  }
}

bool check_list(Report& rep, const TierList& l, const Shape& shape) {
  if (!check_cells(rep, l, shape)) return false;
  check_formats(rep, l);
  if (l.kind != ListKind::kPair) check_order(rep, l);
  return true;
}

}  // namespace

std::vector<std::string> check_tier_tables(const TierTables& t) {
  std::vector<std::string> out;
  Report rep(out);

  // The checks of one single-code list, given its shape passed.
  const std::span<const ex::EarlyRicCount> early = ex::kEarlyRicCounts;
  auto check_early = [&](const TierList& l, const Shape& shape, std::span<const ex::Entry> lastD,
                         int ex::EarlyRicCount::*counts) {
    if (!check_list(rep, l, shape)) return false;
    check_fixed_rows(rep, l, ex::kEarlyRows, ex::kEarlyFirstD, lastD);
    check_three_char_early(rep, l);
    check_ric_counts(rep, l, counts_of(early, counts));
    return true;
  };
  const bool ok240 =
      check_early(t.list240, kShape240, ex::kEarlyLastD240, &ex::EarlyRicCount::in240);
  const bool ok250 =
      check_early(t.list250, kShape250, ex::kEarlyLastD240, &ex::EarlyRicCount::in250);
  const bool ok260 =
      check_early(t.list260, kShape260, ex::kEarlyLastD260, &ex::EarlyRicCount::in260);
  if (ok240 && ok250) {
    check_versions(rep, t.list240, t.list250, changes(ex::kDrop250), changes(ex::kAdd250));
  }
  if (ok250 && ok260) {
    check_versions(rep, t.list250, t.list260, changes(ex::kDrop260), changes(ex::kAdd260));
  }

  const std::span<const ex::LateRicCount> late = ex::kLateRicCounts;
  auto check_late = [&](const TierList& l, const Shape& shape, int ex::LateRicCount::*counts) {
    if (!check_list(rep, l, shape)) return false;
    check_fixed_rows(rep, l, ex::kLateRows, ex::kLateFirstD, ex::kLateLastD);
    check_three_char_late(rep, l);
    check_ric_counts(rep, l, counts_of(late, counts));
    return true;
  };
  const bool ok281 = check_late(t.list281s1, kShape281s1, &ex::LateRicCount::in281);
  const bool ok290 = check_late(t.list290s1, kShape290s1, &ex::LateRicCount::in290);
  if (ok281 && ok290) {
    std::vector<Change> drops = diabetes_codes(false);
    std::vector<Change> adds = diabetes_codes(true);
    for (const Change& c : changes(ex::kDrop290)) drops.push_back(c);
    for (const Change& c : changes(ex::kAdd290)) adds.push_back(c);
    check_versions(rep, t.list281s1, t.list290s1, drops, adds);
  }

  const bool ok281c = check_list(rep, t.list281c, kShapePair);
  const bool ok290c = check_list(rep, t.list290c, kShapePair);
  const bool ok281s2 = check_list(rep, t.list281s2, kShapeSecondary);
  const bool ok290s2 = check_list(rep, t.list290s2, kShapeSecondary);
  if (ok281c) check_pairs(rep, t.list281c);
  if (ok290c) check_pairs(rep, t.list290c);
  if (ok281s2) check_secondary(rep, t.list281s2);
  if (ok290s2) check_secondary(rep, t.list290s2);
  if (ok281c && ok290c) check_identical(rep, t.list281c, t.list290c);
  if (ok281s2 && ok290s2) check_identical(rep, t.list281s2, t.list290s2);
  if (ok281 && ok281c && ok281s2) check_relations(rep, t.list281s1, t.list281c, t.list281s2);
  if (ok290 && ok290c && ok290s2) check_relations(rep, t.list290s1, t.list290c, t.list290s2);
  return out;
}

}  // namespace cmg290::tables
