// The page of a change of the tier lists, made of the report page's parts.
#include "change_figures.h"
#include "html_parts.h"
#include "html_style.h"
#include "svg_charts.h"

namespace cmg290::cli::report {

namespace {

// The change of the index from the old set to the new, signed; a dash when
// either side has none.
Cell index_change(const std::array<Weighted, 2>& w) {
  const auto a = w[0].case_mix_index();
  const auto b = w[1].case_mix_index();
  if (!a || !b) return fixed(std::nullopt, 4);
  Cell c = fixed(*b - *a, 4);
  if (*b - *a >= 0) c.text = "+" + c.text;
  return c;
}

std::string sets_section(const ChangeFigures& f) {
  Table sets{"sets", "The tier-table sets", {"Set", "Identity", "Placeholder rows"}, {}};
  for (const auto& [name, s] : {std::pair{"old", &f.old}, std::pair{"new", &f.now}}) {
    sets.rows.push_back({{name}, {s->identity}, {s->holdsPlaceholders ? "held" : "none"}});
  }
  Table inputs{"inputs", "Record files", {"File", "Records"}, {}};
  for (const InputFigure& in : f.inputs) inputs.rows.push_back({{in.name}, num(in.records)});
  Table summary{"summary", "The batch", {"Figure", "Value"}, {}};
  summary.rows = {{{"Records"}, num(f.records)},
                  {{"Grouped (status 0)"}, num(f.grouped)},
                  {{"Records whose CMG changed"}, num(f.changed)},
                  {{"Share changed %"}, percent(f.changed, f.records)}};
  return section("s-sets", "Sets and inputs",
                 paragraph("The same records grouped with the old set and with the new one. A "
                           "record's CMG changes exactly when its tier letter does.") +
                     table_html(sets) + table_html(inputs) + table_html(summary));
}

std::string transitions_section(const ChangeFigures& f) {
  Table t{"transitions",
          "Records by tier letter, old set (rows) by new set (columns)",
          {"Old \\ new"},
          {}};
  for (const char* name : kChangeTierNames) t.head.push_back(name);
  t.head.push_back("Records");
  t.head.push_back("Changed");
  std::vector<std::string> rows;
  std::vector<std::vector<std::uint64_t>> values;
  for (int o = 0; o < kTierSlots; ++o) {
    std::vector<Cell> row = {{kChangeTierNames[o]}};
    std::uint64_t total = 0;
    for (int n = 0; n < kTierSlots; ++n) {
      Cell c = num(f.transitions[o][n]);
      // The diagonal, the records whose letter stayed, marked in brackets.
      if (o == n) c.text = "[" + c.text + "]";
      row.push_back(c);
      total += f.transitions[o][n];
    }
    row.push_back(num(total));
    row.push_back(num(total - f.transitions[o][o]));
    t.rows.push_back(std::move(row));
    rows.push_back(kChangeTierNames[o]);
    values.push_back(std::vector<std::uint64_t>(f.transitions[o].begin(), f.transitions[o].end()));
  }
  std::vector<std::string> series(std::begin(kChangeTierNames), std::end(kChangeTierNames));
  const ChartText c{"chart-transitions", "Where each old tier letter went",
                    "One bar per tier letter with the old set, split by the letter with the new "
                    "set."};
  return section("s-transitions", "Tier transitions",
                 paragraph("Counts in brackets, on the diagonal, kept their tier letter.") +
                     figure(stacked_bars(c, rows, series, values), t));
}

std::string rics_section(const ChangeFigures& f) {
  Table t{"change-rics",
          "Records per RIC and those whose CMG changed",
          {"RIC", "Records", "Changed", "Changed %"},
          {}};
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  for (const ChangeRicFigure& r : f.rics) {
    t.rows.push_back({{r.ric}, num(r.records), num(r.changed), percent(r.changed, r.records)});
    labels.push_back(r.ric);
    values.push_back(r.changed);
  }
  const ChartText c{"chart-change-rics", "Records whose CMG changed, per RIC", "One bar per RIC."};
  return section("s-change-rics", "Changes per RIC", figure(bar_chart(c, labels, values), t));
}

std::string cmgs_section(const ChangeFigures& f) {
  Table t{"change-cmgs",
          "CMGs with most records changed",
          {"CMG", "Old set", "New set", "Changed away", "Changed in"},
          {}};
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  for (const ChangeCmgFigure& g : f.topCmgs) {
    t.rows.push_back(
        {{g.cmg}, num(g.oldRecords), num(g.newRecords), num(g.changedAway), num(g.changedIn)});
    labels.push_back(g.cmg);
    values.push_back(g.changedAway + g.changedIn);
  }
  const ChartText c{"chart-change-cmgs", "Records changed away from or into each CMG",
                    "One bar per CMG, most changes first."};
  return section("s-change-cmgs", "Changes per CMG",
                 paragraph(std::to_string(f.changedCmgs) + " CMGs lost or gained records; the " +
                           std::to_string(f.topCmgs.size()) + " with most:") +
                     figure(bar_chart(c, labels, values), t));
}

std::string case_mix_section(const ChangeFigures& f) {
  if (!f.weights) {
    return section("s-case-mix", "Case-mix index",
                   paragraph("No weights were given (--weights FILE): no case-mix index."));
  }
  Table summary{
      "case-mix", "Case-mix index over grouped records", {"Figure", "Old set", "New set"}, {}};
  summary.rows = {{{"Case-mix index"},
                   fixed(f.weighted[0].case_mix_index(), 4),
                   fixed(f.weighted[1].case_mix_index(), 4)},
                  {{"Weighted records"}, num(f.weighted[0].weighted), num(f.weighted[1].weighted)},
                  {{"Grouped records without a weight"},
                   num(f.weighted[0].unweighted),
                   num(f.weighted[1].unweighted)}};
  Table weights{"weights", "The weights file", {"Figure", "Value"}, {}};
  weights.rows = {{{"Weights file"}, {f.weights->file}},
                  {{"Weights file SHA-256"}, {f.weights->sha256}},
                  {{"Pairs in the file"}, num(f.weights->pairs)},
                  {{"Change of the index"}, index_change(f.weighted)}};
  Table rics{
      "cmi-change-rics", "Case-mix index per RIC", {"RIC", "Old set", "New set", "Change"}, {}};
  std::vector<std::string> labels;
  std::vector<std::vector<std::uint64_t>> values;
  for (const ChangeRicFigure& r : f.rics) {
    rics.rows.push_back({{r.ric},
                         fixed(r.weighted[0].case_mix_index(), 4),
                         fixed(r.weighted[1].case_mix_index(), 4),
                         index_change(r.weighted)});
    labels.push_back(r.ric);
    // The indexes in thousandths, for bars of whole numbers.
    std::vector<std::uint64_t> pair;
    for (const Weighted& w : r.weighted) {
      pair.push_back(static_cast<std::uint64_t>(w.case_mix_index().value_or(0) * 1000 + 0.5));
    }
    values.push_back(std::move(pair));
  }
  const ChartText c{"chart-cmi-change-rics", "Case-mix index per RIC, old and new, in thousandths",
                    "One bar per RIC, split between the index with the old set and with the new."};
  return section(
      "s-case-mix", "Case-mix index",
      paragraph("The mean relative weight of the grouped records whose CMG and tier letter the "
                "weights file gives, under each set.") +
          table_html(summary) + table_html(weights) +
          figure(stacked_bars(c, labels, {"old", "new"}, values), rics));
}

}  // namespace

std::string change_html(const ChangeFigures& f) {
  std::string s = page_head("cmg290 compare: a change of the tier lists") +
                  "<h1>A change of the tier lists</h1>";
  s += sets_section(f) + transitions_section(f) + rics_section(f) + cmgs_section(f) +
       case_mix_section(f);
  return s + kPageFoot;
}

}  // namespace cmg290::cli::report
