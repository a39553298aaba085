// The explanation as one line of JSON, documented in docs/explain.md.
#include <cstring>

#include "cmg290/edits.h"
#include "cmg290/explain.h"
#include "cmg290/result_json.h"

namespace cmg290 {

namespace {

// Appends JSON to a string, placing the commas between members and
// elements itself.
class JsonWriter {
 public:
  JsonWriter(std::string& out, bool rawHighBytes) : out_(out), raw_(rawHighBytes) {}

  JsonWriter& key(std::string_view name) {
    comma();
    out_ += '"';
    out_ += name;
    out_ += "\":";
    afterKey_ = true;
    return *this;
  }
  JsonWriter& begin_object() {
    comma();
    out_ += '{';
    first_ = true;
    return *this;
  }
  JsonWriter& end_object() {
    out_ += '}';
    first_ = false;
    return *this;
  }
  JsonWriter& begin_array() {
    comma();
    out_ += '[';
    first_ = true;
    return *this;
  }
  JsonWriter& end_array() {
    out_ += ']';
    first_ = false;
    return *this;
  }
  JsonWriter& string(std::string_view s) {
    comma();
    out_ += '"';
    escaped(s);
    out_ += '"';
    return *this;
  }
  JsonWriter& number(long long v) {
    comma();
    out_ += std::to_string(v);
    return *this;
  }
  JsonWriter& null() {
    comma();
    out_ += "null";
    return *this;
  }
  JsonWriter& boolean(bool v) {
    comma();
    out_ += v ? "true" : "false";
    return *this;
  }
  JsonWriter& optional(const std::optional<int>& v) { return v ? number(*v) : null(); }
  // A text member that is null when empty.
  JsonWriter& text_or_null(std::string_view s) { return s.empty() ? null() : string(s); }
  // Members already written as JSON text by someone else.
  JsonWriter& raw_members(std::string_view members) {
    comma();
    out_ += members;
    return *this;
  }

 private:
  void comma() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_) out_ += ',';
    first_ = false;
  }

  void escaped(std::string_view s) {
    if (!raw_) {
      char buf[6 * 64];
      while (!s.empty()) {
        const std::string_view part = s.substr(0, 64);
        out_.append(buf, static_cast<std::size_t>(write_json_escaped(buf, part) - buf));
        s.remove_prefix(part.size());
      }
      return;
    }
    // Bytes 0x80-0xff as they are, everything else escaped as usual.
    for (char c : s) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        out_ += c;
      } else {
        char buf[6];
        out_.append(buf, static_cast<std::size_t>(write_json_escaped(buf, {&c, 1}) - buf));
      }
    }
  }

  std::string& out_;
  bool raw_;
  bool first_ = true;
  bool afterKey_ = false;
};

const char* outcome_name(CheckOutcome o) {
  switch (o) {
    case CheckOutcome::Passed:
      return "passed";
    case CheckOutcome::Failed:
      return "failed";
    case CheckOutcome::NotReached:
      return "not reached";
  }
  return "";
}

void write_result(JsonWriter& j, const Explanation& e, const ExplainFormat& format) {
  j.key("result").begin_object();
  if (!format.file.empty()) j.key("file").string(format.file);
  if (format.line > 0) j.key("line").number(format.line);
  const char* description = status_text(e.result.status);
  std::string members(kResultJsonMaxFixed + 6 * std::strlen(description), '\0');
  members.resize(static_cast<std::size_t>(write_result_json(members.data(), e.result, description) -
                                          members.data()));
  j.raw_members(members).end_object();
}

void write_tier(JsonWriter& j, const TierStep& t) {
  j.key("tier").begin_object();
  j.key("table_version").text_or_null(t.tableVersion);
  j.key("letter").string(std::string(1, t.letter));
  j.key("lists").begin_array();
  for (const ListSearched& l : t.lists) {
    j.begin_object().key("list").string(tier_list_name(l.list));
    j.key("name").string(l.name).key("rows").number(l.rows).end_object();
  }
  j.end_array();
  if (t.tableVersion.empty()) {
    j.key("scan").null().key("cells_scanned").null();
  } else {
    j.key("scan").string(t.fullScan ? "full" : "short").key("cells_scanned").number(t.cellsScanned);
  }
  j.key("caret_cell");
  if (t.caretCell != 0) {
    j.number(t.caretCell);
  } else {
    j.null();
  }
  j.key("list");
  if (t.decision) {
    j.string(tier_list_name(t.decision->list)).key("row").number(t.decision->row);
  } else {
    j.null().key("row").null();
  }
  j.key("codes").begin_array();
  if (t.decision) {
    for (const std::string& c : t.decision->codes) j.string(c);
  }
  j.end_array().key("cells").begin_array();
  if (t.decision) {
    for (int c : t.decision->cells) j.number(c);
  }
  j.end_array();
  j.key("placeholder").boolean(t.decision && t.decision->placeholder);
  j.key("skipped").begin_array();
  for (const SkippedRow& s : t.skipped) {
    j.begin_object().key("list").string(tier_list_name(s.list)).key("row").number(s.row);
    j.key("code").string(s.code).key("cell").number(s.cell);
    j.key("reason").string(s.reason == SkipReason::RicExcluded ? "ric excluded" : "barred");
    j.end_object();
  }
  j.end_array();
  j.key("excluded_pairs").begin_array();
  for (const ExcludedPair& p : t.excludedPairs) {
    j.begin_object().key("row").number(p.row);
    j.key("codes").begin_array().string(p.code1).string(p.code2).end_array();
    j.key("cells").begin_array().number(p.cell1).number(p.cell2).end_array();
    j.key("barred").begin_array();
    for (int b : p.barred) j.number(b);
    j.end_array().end_object();
  }
  j.end_array();
  j.key("barred").begin_array();
  for (int b : t.barred) j.number(b);
  j.end_array();
  j.end_object();
}

// The same array as write_edits_json writes, through the writer so that
// bytes 0x80-0xff stand as they are when the format asks for that.
void write_edits(JsonWriter& j, const Edits& edits) {
  j.key("edits").begin_array();
  char message[kEditMessageMax];
  for (const Edit& e : edits) {
    j.begin_object().key("code").string(e.code());
    j.key("severity").string(severity_text(e.severity()));
    j.key("field").text_or_null(e.field_name()).key("value").string(e.value_text());
    j.key("message").string({message, write_edit_message(e, message)}).end_object();
  }
  j.end_array();
}

}  // namespace

std::string explain_json(const Explanation& e, const ExplainFormat& format) {
  std::string out;
  out.reserve(4096);
  JsonWriter j(out, format.rawHighBytes);
  j.begin_object();
  write_result(j, e, format);

  j.key("fields").begin_object();
  for (const FieldReading& f : e.fields) j.key(f.layout->name).string(f.text);
  j.end_object();

  j.key("checks").begin_array();
  for (const CheckStep& c : e.checks) {
    j.begin_object().key("status").number(c.status).key("check").string(c.what);
    j.key("outcome").string(outcome_name(c.outcome)).key("detail").text_or_null(c.detail);
    j.end_object();
  }
  j.end_array();

  j.key("version_date").begin_object().key("text").string(e.version.text);
  j.key("value").number(e.version.value);
  j.key("table_version").text_or_null(e.version.tableVersion).end_object();

  j.key("dates").begin_object().key("birth_date").string(e.dates.birthDate);
  j.key("birth_date_used");
  if (e.dates.birthDateUsed) {
    j.string(*e.dates.birthDateUsed);
  } else {
    j.null();
  }
  j.key("age_date").string(e.dates.ageDate).key("age").optional(e.dates.age).end_object();

  j.key("impairment");
  if (e.impairment) {
    j.begin_object().key("key").string(e.impairment->key);
    j.key("row");
    if (e.impairment->row != 0) {
      j.number(e.impairment->row);
    } else {
      j.null();
    }
    j.key("ric").text_or_null(e.impairment->ric).end_object();
  } else {
    j.null();
  }

  j.key("motor");
  if (e.scores) {
    j.begin_object().key("items").begin_array();
    int item = 1;
    for (const MotorItemStep& m : e.scores->motor) {
      j.begin_object().key("item").number(item++).key("text").string(m.text);
      j.key("value").number(m.value).key("counted").number(m.counted);
      j.key("weight").number(m.weight).key("contribution").number(m.contribution).end_object();
    }
    j.end_array().key("sum").number(e.scores->motorSum).key("text").string(e.scores->motorText);
    j.end_object();
  } else {
    j.null();
  }

  j.key("cognitive");
  if (e.scores) {
    j.begin_object().key("items").begin_array();
    int item = 1;
    for (const CognitiveItemStep& c : e.scores->cognitive) {
      j.begin_object().key("item").number(item++).key("text").string(c.text);
      j.key("value").number(c.value).key("counted").number(c.counted).end_object();
    }
    j.end_array().key("sum").number(e.scores->cognitiveSum).end_object();
  } else {
    j.null();
  }

  j.key("cmg_row");
  if (e.cmgRow) {
    const CmgRowStep& c = *e.cmgRow;
    j.begin_object().key("row").number(c.row).key("ric").string(c.ric).key("cmg").string(c.cmg);
    j.key("motor_low").number(c.motorLow).key("motor_high").number(c.motorHigh);
    j.key("cognitive_low").optional(c.cognitiveLow).key("cognitive_high").optional(c.cognitiveHigh);
    j.key("age_low").optional(c.ageLow).key("age_high").optional(c.ageHigh).end_object();
  } else {
    j.null();
  }

  if (e.tier) {
    write_tier(j, *e.tier);
  } else {
    j.key("tier").null();
  }
  write_edits(j, e.edits);
  j.key("tier_set").raw_members(e.tierSet.json.empty() ? "null" : e.tierSet.json);
  j.end_object();
  return out;
}

}  // namespace cmg290
