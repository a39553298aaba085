// Shapes and cells of the tier table columns: rows, widths, terminators,
// zero padding and row 0.
#include "checks/tier_check.h"

namespace cmg290::tables::tier_check {

namespace {

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

}  // namespace

bool check_cells(Report& rep, const TierList& l, const Shape& s) {
  bool shaped = true;
  for (const ColumnRule& rule : column_rules(l, s)) {
    const Column& c = *rule.column;
    if (!c.present()) {
      rep.list(l, std::string("has no ") + rule.role + " column");
      shaped = false;
      continue;
    }
    const int rows = l.code.present() ? l.code.rows : c.rows;
    if (c.rows != rows || c.rows < 1 || c.width != rule.width) {
      rep.list(l, std::string(c.name) + " has " + std::to_string(c.rows) + " rows of " +
                      std::to_string(c.width) + " bytes, expected " + std::to_string(rows) +
                      " rows of " + std::to_string(rule.width));
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
  if (shaped && l.code.rows != s.entries + 1) {
    rep.kind(TierFault::kContents);
    rep.list(l, "holds " + std::to_string(l.code.rows - 1) + " entries, expected " +
                    std::to_string(s.entries));
    rep.kind(TierFault::kStructure);
  }
  return shaped;
}

}  // namespace cmg290::tables::tier_check
