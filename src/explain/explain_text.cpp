// The explanation as a short report in plain words, one block per record.
#include <cstdio>
#include <cstring>

#include "cmg290/edits.h"
#include "cmg290/explain.h"
#include "cmg290/status.h"

namespace cmg290 {

namespace {

// Bytes outside printable ASCII are shown as \xHH so that the report stays
// one line per item whatever the record holds; so are the backslash and,
// for a text shown between quotes, the quote.
std::string printable(std::string_view s, bool quotes = true) {
  std::string out;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f && c != '\\' && (c != '"' || !quotes)) {
      out += ch;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

std::string shown(std::string_view s) {
  std::string out = "\"";
  out += printable(s);
  out += '"';
  return out;
}

std::string tenths(int v) {
  const long long a = v < 0 ? -static_cast<long long>(v) : v;
  std::string text = v < 0 ? "-" : "";
  text += std::to_string(a / 10);
  text += '.';
  text += static_cast<char>('0' + a % 10);
  return text;
}

std::string list_words(TierList list) {
  switch (list) {
    case TierList::Single:
      return "single-code list";
    case TierList::Pair:
      return "pair list";
    case TierList::Secondary:
      return "secondary list";
  }
  return "";
}

std::string trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

void line(std::string& out, int indent, const std::string& text) {
  out.append(static_cast<std::size_t>(indent), ' ');
  out += text;
  out += '\n';
}

std::string range(const char* what, const std::optional<int>& low, const std::optional<int>& high) {
  if (!low || !high) return std::string("any ") + what;
  return std::string(what) + " " + std::to_string(*low) + " to " + std::to_string(*high);
}

void write_tier(std::string& out, const TierStep& t, const ExplainedTierSet& set) {
  if (t.tableVersion.empty()) {
    line(out, 2, "comorbidity tier: the version date selects no table version, no search: tier A");
    return;
  }
  std::string scan = t.fullScan ? "full scan of cells 1 to 25" : "short scan of cells 1 to 10";
  if (t.caretCell != 0) {
    scan += ", ended by the \"^\" in cell " + std::to_string(t.caretCell);
    scan += t.cellsScanned == 0 ? " (no cell compared)"
                                : " (cells 1 to " + std::to_string(t.cellsScanned) + " compared)";
  }
  line(out, 2, "comorbidity tier, table version " + t.tableVersion + ", " + scan + ":");
  line(out, 4,
       "tier-table set " + printable(set.identity) +
           (set.placeholders ? ", which holds placeholder rows" : ""));
  // Each list in the order searched, with the rows passed over in it.
  for (const ListSearched& l : t.lists) {
    line(out, 4,
         "searched the " + list_words(l.list) + " " + std::string(l.name) + ", " +
             std::to_string(l.rows) + " rows");
    for (const SkippedRow& s : t.skipped) {
      if (s.list != l.list) continue;
      line(out, 6,
           std::string(s.file) + ":" + std::to_string(s.line) + " holds " + shown(s.code) +
               " (cell " + std::to_string(s.cell) + "): skipped, " +
               (s.reason == SkipReason::RicExcluded ? "its excluded RICs hold the record's RIC"
                                                    : "barred by an excluded pair"));
    }
    if (l.list != TierList::Pair) continue;
    for (const ExcludedPair& p : t.excludedPairs) {
      std::string barred;
      for (int b : p.barredLines) barred += (barred.empty() ? "" : ", ") + std::to_string(b);
      line(out, 6,
           "pair.csv:" + std::to_string(p.line) + " holds " + shown(p.code1) + " (cell " +
               std::to_string(p.cell1) + ") and " + shown(p.code2) + " (cell " +
               std::to_string(p.cell2) + "): excluded for the record's RIC, no tier" +
               (barred.empty() ? ""
                               : "; bars secondary.csv line" +
                                     std::string(p.barred.size() > 1 ? "s " : " ") + barred));
    }
  }
  if (!t.decision) {
    line(out, 4, "no row gives a tier: tier A");
    return;
  }
  const TierDecision& d = *t.decision;
  std::string found;
  for (std::size_t i = 0; i < d.codes.size(); ++i) {
    found +=
        (i == 0 ? "" : " and ") + shown(d.codes[i]) + " (cell " + std::to_string(d.cells[i]) + ")";
  }
  line(out, 4,
       std::string("tier ") + t.letter + " from " + list_words(d.list) + " " + d.file + ":" +
           std::to_string(d.line) + ": the record holds " + found +
           (d.placeholder ? "; a placeholder row, not from an official list" : ""));
}

// One edit per line: code, severity, field and value as read, message.
// Values and messages hold record bytes, shown as printable() shows them.
void write_edits(std::string& out, const Edits& edits) {
  if (edits.empty()) {
    line(out, 2, "edits: none");
    return;
  }
  line(out, 2, "edits:");
  char message[kEditMessageMax];
  for (const Edit& e : edits) {
    std::string text(e.code());
    text += ", ";
    text += severity_text(e.severity());
    text += ", ";
    text += e.field < 0 ? std::string_view("the record") : e.field_name();
    if (e.field >= 0 || !e.value_text().empty()) {
      text += ' ';
      text += shown(e.value_text());
    }
    text += ": ";
    text += printable({message, write_edit_message(e, message)}, false);
    line(out, 4, text);
  }
}

}  // namespace

std::string explain_text(const Explanation& e, const ExplainFormat& format) {
  std::string out;
  const Result& r = e.result;
  std::string head;
  if (!format.file.empty()) head = std::string(format.file) + " ";
  if (format.line > 0) head += "line " + std::to_string(format.line);
  if (head.empty()) head = "record";
  if (reaches_cmg_and_scores(r.status)) {
    line(out, 0,
         head + ": grouped, CMG " + trim(r.cmg) + ", motor score " + trim(r.motorScore) +
             ", cognitive score " + std::to_string(r.cognitiveScore) + ", age " +
             std::to_string(r.age) + ", table version " +
             (e.version.tableVersion.empty() ? "none" : e.version.tableVersion));
  } else {
    line(out, 0,
         head + ": not grouped, status " + std::to_string(r.status) + " (" + status_text(r.status) +
             ")");
  }

  line(out, 2, "checks:");
  for (const CheckStep& c : e.checks) {
    const char* outcome = c.outcome == CheckOutcome::Passed   ? "passed     "
                          : c.outcome == CheckOutcome::Failed ? "FAILED     "
                                                              : "not made   ";
    line(out, 4, outcome + std::string(c.what) + (c.detail.empty() ? "" : ": " + c.detail));
  }

  line(out, 2,
       "version date " + shown(e.version.text) + " (" + std::to_string(e.version.value) + ") " +
           (e.version.tableVersion.empty() ? "selects no table version"
                                           : "selects table version " + e.version.tableVersion));
  std::string dates = "birth date " + shown(e.dates.birthDate);
  if (e.dates.birthDateUsed && *e.dates.birthDateUsed != e.dates.birthDate) {
    dates += ", used as " + shown(*e.dates.birthDateUsed);
  }
  dates += ", age date " + shown(e.dates.ageDate);
  if (e.dates.age) dates += ": age " + std::to_string(*e.dates.age);
  line(out, 2, dates);

  if (e.impairment) {
    const ImpairmentStep& i = *e.impairment;
    line(out, 2,
         "impairment group " + shown(e.fields[static_cast<int>(FieldId::impairment_group)].text) +
             ": key " + shown(i.key) +
             (i.row == 0 ? ", on no row of the impairment table"
                         : ", impairment table row " + std::to_string(i.row) + ", RIC " + i.ric));
  }

  if (e.scores) {
    const ScoresStep& s = *e.scores;
    line(out, 2, "motor items (as read, value, counted as, times weight = tenths):");
    for (std::size_t k = 0; k < s.motor.size(); ++k) {
      const MotorItemStep& m = s.motor[k];
      char buf[120];
      std::snprintf(buf, sizeof buf, "%2zu %s %4d %4d x %2d = %5d", k + 1, shown(m.text).c_str(),
                    m.value, m.counted, m.weight, m.contribution);
      line(out, 4, buf);
    }
    line(out, 4, "sum " + std::to_string(s.motorSum) + " tenths: motor score " + s.motorText);
    std::string cognitive;
    for (std::size_t k = 0; k < s.cognitive.size(); ++k) {
      const CognitiveItemStep& c = s.cognitive[k];
      cognitive += (k == 0 ? "" : ", ") + shown(c.text) + " " + std::to_string(c.counted);
    }
    line(out, 2,
         "cognitive items (as read, counted as): " + cognitive + "; cognitive score " +
             std::to_string(s.cognitiveSum));
  }

  if (e.cmgRow) {
    const CmgRowStep& c = *e.cmgRow;
    line(out, 2,
         "CMG row " + std::to_string(c.row) + ": RIC " + c.ric + ", motor " + tenths(c.motorLow) +
             " to " + tenths(c.motorHigh) + ", " +
             range("cognitive score", c.cognitiveLow, c.cognitiveHigh) + ", " +
             range("age", c.ageLow, c.ageHigh) + ": CMG " + c.cmg);
  } else if (e.scores) {
    line(out, 2,
         "CMG: no row of the CMG table holds RIC " + e.impairment->ric +
             " with these scores and age; the result is the tier letter alone");
  }

  if (e.tier) write_tier(out, *e.tier, e.tierSet);
  write_edits(out, e.edits);
  return out;
}

}  // namespace cmg290
