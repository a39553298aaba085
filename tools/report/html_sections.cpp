// The edits' and the case-mix index's sections of the report's page.
#include <string>

#include "html_parts.h"
#include "svg_charts.h"

namespace cmg290::cli::report {

namespace {

std::string line_refs(const Figures& f, const EditFigure& e) {
  std::string s;
  for (const LineRef& l : e.firstLines) {
    if (!s.empty()) s += ", ";
    if (f.inputs.size() > 1) s += f.inputs[l.file].name + ":";
    s += std::to_string(l.line);
  }
  return s;
}

}  // namespace

std::string edits_html(const Figures& f) {
  Table t{"edits",
          "Edits by code",
          {"Edit", "Severity", "Records", "Edits", "First lines", "Meaning"},
          {}};
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  std::string details;
  for (const EditFigure& e : f.edits) {
    t.rows.push_back({{e.code},
                      {e.severity},
                      num(e.records),
                      num(e.occurrences),
                      {line_refs(f, e)},
                      {e.meaning}});
    labels.push_back(e.code);
    values.push_back(e.records);
    Table fields{"edit-fields-" + e.code, "Fields that raise " + e.code, {"Field", "Edits"}, {}};
    for (const auto& [name, n] : e.fields) {
      fields.rows.push_back({{name.empty() ? "(the record as a whole)" : name}, num(n)});
    }
    details += table_html(fields);
  }
  std::string body = paragraph(
      std::to_string(f.recordsWithEdits) +
      " records have at least one edit. Records counts each record once per code; edits counts "
      "every field that raises it. Line numbers start at 1 in every input" +
      std::string(f.inputs.size() > 1 ? " and are given as FILE:LINE." : "."));
  if (f.edits.empty()) return section("s-edits", "Edits", body);
  const ChartText c{"chart-edits", "Records per edit code", "One bar per edit code raised."};
  body += "<div class=\"wide\">" + table_html(t) + "</div>" + bar_chart(c, labels, values) +
          "<h3>Fields that raise each edit</h3><div class=\"figure\">" + details + "</div>";
  return section("s-edits", "Edits", body);
}

std::string case_mix_html(const Figures& f) {
  if (!f.weights) {
    return section("s-case-mix", "Case-mix index",
                   paragraph("No weights were given (--weights FILE): no case-mix index."));
  }
  const WeightsFigure& w = *f.weights;
  Table summary{"case-mix", "Case-mix index over grouped records", {"Figure", "Value"}, {}};
  summary.rows = {{{"Weights file"}, {w.file}},
                  {{"Weights file SHA-256"}, {w.sha256}},
                  {{"Pairs in the file"}, num(w.pairs)},
                  {{"Case-mix index"}, fixed(f.weighted.case_mix_index(), 4)},
                  {{"Weighted records"}, num(f.weighted.weighted)},
                  {{"Grouped records without a weight"}, num(f.weighted.unweighted)},
                  {{"Records with an average length of stay"}, num(f.weighted.losRecords)},
                  {{"Expected days, sum"}, fixed(f.weighted.expected_days(), 1)},
                  {{"Expected days, mean"}, fixed(f.weighted.mean_days(), 2)}};
  Table rics{"cmi-rics",
             "Case-mix index per RIC",
             {"RIC", "Case-mix index", "Weighted", "Without weight", "Expected days"},
             {}};
  std::vector<std::string> labels;
  std::vector<std::uint64_t> values;
  for (const RicFigure& r : f.rics) {
    rics.rows.push_back({{r.ric},
                         fixed(r.weighted.case_mix_index(), 4),
                         num(r.weighted.weighted),
                         num(r.weighted.unweighted),
                         fixed(r.weighted.expected_days(), 1)});
    labels.push_back(r.ric);
    // The index in thousandths, for bars of whole numbers.
    values.push_back(
        static_cast<std::uint64_t>(r.weighted.case_mix_index().value_or(0) * 1000 + 0.5));
  }
  Table missing{"missing-pairs",
                "Grouped records whose CMG and tier have no weight",
                {"CMG", "Tier", "Records"},
                {}};
  for (const PairCount& p : w.missing) {
    missing.rows.push_back(
        {{p.cmg.empty() ? "(no CMG)" : p.cmg}, {std::string(1, p.tier)}, num(p.records)});
  }
  const ChartText c{"chart-cmi-rics", "Case-mix index per RIC, in thousandths",
                    "One bar per RIC; 1000 is a mean relative weight of 1."};
  std::string body =
      paragraph(
          "The mean relative weight of the grouped records whose CMG and tier letter the "
          "weights file gives. Records without one are left out of the index and named "
          "below.") +
      table_html(summary) + figure(bar_chart(c, labels, values), rics);
  body +=
      missing.rows.empty() ? paragraph("Every grouped record has a weight.") : table_html(missing);
  return section("s-case-mix", "Case-mix index", body);
}

}  // namespace cmg290::cli::report
