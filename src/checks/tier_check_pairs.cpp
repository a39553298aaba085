// The pair and secondary tier lists, and their relations to the single-code
// list of the same version.
#include <cstring>
#include <set>
#include <utility>

#include "checks/tier_check.h"

namespace cmg290::tables::tier_check {

void check_pairs(Report& rep, const TierList& l) {
  int r = 1;
  for (const ex::Pair& e : ex::kPairs) {
    if (r > entries(l)) {
      rep.list(l, "has no row " + std::to_string(r) + ", expected " + quoted(e.code1) + " " +
                      entry_text(e.code2, e.tier, e.rics) + " there");
      ++r;
      continue;
    }
    const std::string_view c1 = text(l.code, r);
    const std::string_view c2 = text(l.code2, r);
    const std::string_view tier = text(l.tier, r);
    const std::string_view rics = text(l.rics, r);
    if (c1 != e.code1 || c2 != e.code2 || tier != e.tier || !same_rics(rics, e.rics, true)) {
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

void check_identical(Report& rep, const TierList& a, const TierList& b) {
  const std::pair<const Column*, const Column*> pairs[] = {{&a.code, &b.code},
                                                           {&a.code2, &b.code2},
                                                           {&a.tier, &b.tier},
                                                           {&a.rics, &b.rics},
                                                           {&a.eflag, &b.eflag}};
  for (const auto& [ca, cb] : pairs) {
    if (!ca->present() || !cb->present()) continue;
    if (ca->rows != cb->rows) {
      rep.list(b, std::string(cb->name) + " has " + std::to_string(cb->rows) + " rows, " +
                      ca->name + " " + std::to_string(ca->rows));
      continue;
    }
    for (int r = 0; r < ca->rows; ++r) {
      if (std::memcmp(ca->cell(r), cb->cell(r), static_cast<std::size_t>(ca->width)) != 0) {
        rep.row(b, r, std::string(cb->name) + " differs from " + ca->name);
      }
    }
  }
}

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

}  // namespace cmg290::tables::tier_check
