#include "html_writer.h"

#include <cstdio>

#include "html_parts.h"
#include "html_style.h"
#include "svg_charts.h"

namespace cmg290::cli::report {

namespace {

std::vector<std::string> tier_head(const std::string& first, bool shares) {
  std::vector<std::string> head = {first, "Records", "A", "B", "C", "D"};
  if (shares) {
    for (const char* l : {"A %", "B %", "C %", "D %"}) head.push_back(l);
  }
  return head;
}

std::string case_mix_head_note(bool withWeights) {
  return withWeights ? "" : " Give --weights FILE for the case-mix index.";
}

void add_weight_cells(std::vector<Cell>& row, const Weighted& w, bool withWeights) {
  if (!withWeights) return;
  row.push_back(fixed(w.case_mix_index(), 4));
  row.push_back(num(w.weighted));
  row.push_back(num(w.unweighted));
}

void add_weight_head(std::vector<std::string>& head, bool withWeights) {
  if (!withWeights) return;
  for (const char* h : {"Case-mix index", "Weighted", "Without weight"}) head.push_back(h);
}

std::string inputs_section(const Figures& f) {
  Table inputs{"inputs", "Record files", {"File", "Records"}, {}};
  for (const InputFigure& in : f.inputs) inputs.rows.push_back({{in.name}, num(in.records)});
  const auto date = [](const std::string& d) {
    return d.empty() ? std::string("\u2013")
                     : d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
  };
  Table summary{"summary", "The batch", {"Figure", "Value"}, {}};
  summary.rows = {{{"Records"}, num(f.records)},
                  {{"Empty lines (skipped)"}, num(f.emptyLines)},
                  {{"Grouped (status 0)"}, num(f.grouped)},
                  {{"First version date"}, {date(f.firstVersionDate)}},
                  {{"Last version date"}, {date(f.lastVersionDate)}},
                  {{"Version dates that are not a date"}, num(f.notADate)},
                  {{"Tier letters from placeholder rows"}, num(f.placeholderTiers)},
                  {{"Tier-table set"}, {f.setIdentity}}};
  std::string note =
      f.setHoldsPlaceholders
          ? "The tier-table set holds placeholder rows: a tier letter that came from one is "
            "not taken from an official list."
          : "The tier-table set holds no placeholder rows.";
  return section("s-inputs", "Inputs", table_html(inputs) + table_html(summary) + paragraph(note));
}

std::string status_section(const Figures& f) {
  Table t{"status", "Records by status", {"Status", "Meaning", "Records"}, {}};
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  for (const StatusFigure& s : f.statuses) {
    const std::string code = s.code == kOtherStatus ? "other" : std::to_string(s.code);
    t.rows.push_back({{code}, {s.description}, num(s.records)});
    labels.push_back(code + " " + s.description);
    values.push_back(s.records);
  }
  const ChartText c{"chart-status", "Records by status", "One bar per status code."};
  return section("s-status", "Statuses", figure(bar_chart(c, labels, values), t));
}

std::string tiers_section(const Figures& f) {
  Table t{"tiers", "Grouped records by tier letter", {"Tier", "Records", "Share %"}, {}};
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  for (int i = 0; i < kTierSlots; ++i) {
    if (i == 4 && f.tiers[4] == 0) continue;
    const std::string letter = i < 4 ? std::string(1, kTierLetters[i]) : "other";
    t.rows.push_back({{letter}, num(f.tiers[i]), percent(f.tiers[i], f.grouped)});
    labels.push_back(letter);
    values.push_back(f.tiers[i]);
  }
  const ChartText c{"chart-tiers", "Grouped records by tier letter", "One bar per tier letter."};
  std::string body = figure(bar_chart(c, labels, values), t);
  if (f.tierWithoutCmg > 0) {
    body += paragraph(std::to_string(f.tierWithoutCmg) +
                      " grouped records have a tier letter but no CMG (no CMG row matched).");
  }
  return section("s-tiers", "Tier letters", body);
}

std::string rics_section(const Figures& f) {
  Table t{"rics", "Records per RIC by tier letter", tier_head("RIC", true), {}};
  std::vector<std::string> rows;
  std::vector<std::vector<std::uint64_t>> values;
  for (const RicFigure& r : f.rics) {
    std::vector<Cell> row = {{r.ric}, num(r.records)};
    for (int i = 0; i < 4; ++i) row.push_back(num(r.tiers[i]));
    for (int i = 0; i < 4; ++i) row.push_back(percent(r.tiers[i], r.records));
    t.rows.push_back(std::move(row));
    rows.push_back(r.ric);
    values.push_back({r.tiers[0], r.tiers[1], r.tiers[2], r.tiers[3]});
  }
  const ChartText c{"chart-rics", "Share of each tier letter per RIC",
                    "One bar per RIC, split by the share of tiers A, B, C and D."};
  return section("s-rics", "Records per RIC",
                 figure(stacked_bars(c, rows, {"A", "B", "C", "D"}, values), t));
}

std::string cmgs_section(const Figures& f) {
  Table t{"top-cmgs", "Most frequent CMGs", tier_head("CMG", false), {}};
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  for (const CmgFigure& g : f.topCmgs) {
    std::vector<Cell> row = {{g.cmg}, num(g.records)};
    for (int i = 0; i < 4; ++i) row.push_back(num(g.tiers[i]));
    t.rows.push_back(std::move(row));
    labels.push_back(g.cmg);
    values.push_back(g.records);
  }
  const ChartText c{"chart-cmgs", "Most frequent CMGs", "One bar per CMG, most records first."};
  return section("s-cmgs", "Most frequent CMGs",
                 paragraph(std::to_string(f.distinctCmgs) + " distinct CMGs; the " +
                           std::to_string(f.topCmgs.size()) + " with most records:") +
                     figure(bar_chart(c, labels, values), t));
}

std::string distributions_section(const Figures& f) {
  std::string body = paragraph(
      "Over grouped records (status 0). Each bin holds its first value up to the "
      "next bin's; the first and last bins are open-ended.");
  for (int s = 0; s < kScaleCount; ++s) {
    const BinScale& scale = *kScales[s];
    Table t{std::string("hist-") + scale.key, scale.title, {"Bin", "Records"}, {}};
    std::vector<std::string> bins;
    std::vector<std::uint64_t> values;
    for (int b = 0; b < scale.bins; ++b) {
      bins.push_back(scale.label(b));
      values.push_back(f.histograms[s][b]);
      t.rows.push_back({{bins.back()}, num(values.back())});
    }
    const ChartText c{std::string("chart-") + scale.key, scale.title,
                      std::string("Records per bin of the ") + scale.title + "."};
    body +=
        "<h3>" + html_escape(scale.title) + "</h3>" + figure(histogram_chart(c, bins, values), t);
    Table per{
        std::string("ric-hist-") + scale.key, std::string(scale.title) + " per RIC", {"RIC"}, {}};
    for (int b = 0; b < scale.bins; ++b) per.head.push_back(bins[b]);
    for (const RicFigure& r : f.rics) {
      std::vector<Cell> row = {{r.ric}};
      for (int b = 0; b < scale.bins; ++b) row.push_back(num(r.histograms[s][b]));
      per.rows.push_back(std::move(row));
    }
    body += "<div class=\"wide\">" + table_html(per) + "</div>";
  }
  return section("s-distributions", "Scores and ages", body);
}

std::string counted_section(const std::vector<CountedLabel>& rows, const std::string& id,
                            const std::string& title, const std::string& what, bool withWeights,
                            const std::string& note) {
  Table t{id, title, {what, "Records"}, {}};
  add_weight_head(t.head, withWeights);
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  for (const CountedLabel& r : rows) {
    const std::string label = r.label.empty() ? "none" : r.label;
    std::vector<Cell> row = {{label}, num(r.records)};
    add_weight_cells(row, r.weighted, withWeights);
    t.rows.push_back(std::move(row));
    labels.push_back(label);
    values.push_back(r.records);
  }
  const ChartText c{"chart-" + id, title, "One bar per " + what + "."};
  return section(
      "s-" + id, title,
      paragraph(note + case_mix_head_note(withWeights)) + figure(bar_chart(c, labels, values), t));
}

}  // namespace

std::string report_html(const Figures& f) {
  const bool withWeights = f.weights.has_value();
  std::string s = page_head("cmg290 report") + "<h1>Grouping report</h1>";
  s += inputs_section(f) + status_section(f) + tiers_section(f) + rics_section(f) +
       cmgs_section(f) + distributions_section(f);
  s += counted_section(f.months, "months", "Records per month of the version date", "month",
                       withWeights, "Records whose version date is a date, by its month.");
  s += counted_section(f.tableVersions, "table-versions", "Table versions used", "table version",
                       withWeights, "The table version each record's version date chose.");
  s += edits_html(f) + case_mix_html(f);
  return s + kPageFoot;
}

}  // namespace cmg290::cli::report
