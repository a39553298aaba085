// The grouping pass of CMG_290.cpp, made with the same stage functions, with
// every decision noted on the way.
#include "cmg290/explain.h"

#include <cstring>

#include "cmg290/tables.h"
#include "cmg290/tier_set.h"
#include "explain/tier_walk.h"
#include "grouper/classify.h"
#include "grouper/decimal.h"
#include "grouper/record_checks.h"
#include "grouper/record_intake.h"
#include "tables/tier_catalogue.h"
#include "tiersets/set_data.h"

namespace cmg290 {

namespace {

using detail::ComorbidCodeList;
using detail::Fields;

// The field's text in the copies the intake made, exactly its length.
std::string_view field_text(const Fields& f, const ComorbidCodeList& slots, FieldId id) {
  const int i = static_cast<int>(id);
  const auto length = static_cast<std::size_t>(kRecordLayout[i].length);
  const int comorbid = static_cast<int>(FieldId::comorbid_code_1);
  const int motor = static_cast<int>(FieldId::motor_item_1);
  const int cognitive = static_cast<int>(FieldId::cognitive_item_1);
  const char* text = nullptr;
  if (i >= comorbid && i < comorbid + detail::kComorbidSlots) {
    text = slots.cell[i - comorbid];
  } else if (i >= motor && i < motor + detail::kMotorItems) {
    text = f.motor[i - motor];
  } else if (i >= cognitive && i < cognitive + detail::kCognitiveItems) {
    text = f.cognitive[i - cognitive];
  } else {
    switch (id) {
      case FieldId::record_id:
        text = f.recordId;
        break;
      case FieldId::record_kind:
        text = f.recordKind;
        break;
      case FieldId::birth_date:
        text = f.birthDate;
        break;
      case FieldId::age_date:
        text = f.ageDate;
        break;
      case FieldId::impairment_group:
        text = f.impairmentGroup;
        break;
      default:
        text = f.versionDate;
        break;
    }
  }
  return {text, length};
}

std::string quoted(std::string_view s) {
  std::string q;
  q.reserve(s.size() + 2);
  q += '"';
  q += s;
  q += '"';
  return q;
}

// The seven checks in the pass's order, all "not reached" to begin with.
std::vector<CheckStep> unmade_checks() {
  return {
      {1, "record identifier is IRF-PAI", CheckOutcome::NotReached, {}},
      {2, "record kind is not 3", CheckOutcome::NotReached, {}},
      {3, "version date is 20100701 or later", CheckOutcome::NotReached, {}},
      {5,
       "birth date has no blank, or a year other than the age date's",
       CheckOutcome::NotReached,
       {}},
      {6, "age date is not before the birth date", CheckOutcome::NotReached, {}},
      {7, "age is 140 or less", CheckOutcome::NotReached, {}},
      {9, "impairment group is in the table", CheckOutcome::NotReached, {}},
  };
}

// Marks the checks up to the one with `failed` status (0: none failed) as
// made, with what each looked at.
void note_record_checks(std::vector<CheckStep>& checks, int failed, const Fields& before,
                        const Fields& after, std::int64_t versionDate) {
  char recordId[11];
  detail::remove_blanks(before.recordId, 10, recordId);
  const std::string details[] = {
      quoted(recordId) + " once blanks are removed",
      "record kind " + quoted(std::string_view(before.recordKind, 1)),
      "value " + std::to_string(versionDate),
      "birth date " + quoted(std::string_view(before.birthDate, 8)) + ", age date " +
          quoted(std::string_view(before.ageDate, 8)),
      "age date " + std::to_string(detail::date_value(after.ageDate)) + ", birth date " +
          std::to_string(detail::date_value(after.birthDate)),
  };
  for (int i = 0; i < 5; ++i) {
    checks[i].detail = details[i];
    checks[i].outcome = checks[i].status == failed ? CheckOutcome::Failed : CheckOutcome::Passed;
    if (checks[i].status == failed) return;
  }
}

void finish(Explanation& e, int status) {
  e.result.status = status;
}

// The lists of a loaded set under the version, named by their files.
explain_detail::WalkLists set_walk_lists(const tiersets::SetData& set,
                                         detail::TableVersion version) {
  if (version == detail::TableVersion::None) return {};
  const tables::VersionLists& lists = tables::lists_of(version);
  const auto& single = set.lists[static_cast<int>(lists.single)];
  if (!lists.pairStage) return {single.view.name, single.view, nullptr, {}, nullptr, {}};
  const auto& pairs = set.lists[static_cast<int>(TierSetList::Pair)];
  const auto& secondary = set.lists[static_cast<int>(TierSetList::Secondary)];
  return {single.view.name, single.view,         pairs.view.name,
          pairs.view,       secondary.view.name, secondary.view};
}

// The list of a set that the walk's list is under the version.
TierSetList set_list(detail::TableVersion version, TierList list) {
  if (list == TierList::Pair) return TierSetList::Pair;
  if (list == TierList::Secondary) return TierSetList::Secondary;
  return tables::lists_of(version).single;
}

ExplainedTierSet described(const TierSet& set) {
  return {set.name(),         set.digest(),      set.identity(),
          tier_set_json(set), set.is_compiled(), set.holds_placeholders()};
}

// The explanation, with the tier search over the set's lists; over the
// compiled-in lists as their exported columns name them when
// `compiledColumns` (the set is then the compiled-in one).
Explanation explain_with(std::string_view record, const TierSet& set, bool compiledColumns) {
  Explanation e{};
  e.tierSet = described(set);
  Result& r = e.result;
  std::strcpy(r.cmg, "     ");
  std::strcpy(r.motorScore, " 0.0");
  std::strcpy(r.tableVersion, "    ");
  std::memcpy(r.grouperVersion, kGrouperVersion.data(), kGrouperVersion.size() + 1);

  Fields f;
  detail::extract_fields(record.data(), record.size(), f);
  ComorbidCodeList slots;
  detail::extract_comorbid_slots(record.data(), record.size(), slots);
  e.fields.reserve(kRecordFieldCount);
  for (const FieldLayout& layout : kRecordLayout) {
    const auto id = static_cast<FieldId>(&layout - kRecordLayout);
    e.fields.push_back({&layout, std::string(field_text(f, slots, id))});
  }
  e.checks = unmade_checks();

  const std::int64_t versionDate = detail::date_value(f.versionDate);
  const detail::TableVersion version = detail::choose_version(versionDate);
  e.version = {std::string(f.versionDate, 8), versionDate, {}};
  if (version != detail::TableVersion::None) {
    e.version.tableVersion = detail::version_label(version);
    std::strcpy(r.tableVersion, detail::version_label(version));
  }
  e.dates.birthDate.assign(f.birthDate, 8);
  e.dates.ageDate.assign(f.ageDate, 8);

  const Fields before = f;
  const int failed = static_cast<int>(detail::check_record(f, versionDate));
  note_record_checks(e.checks, failed, before, f, versionDate);
  if (failed == 0 || failed == 6) e.dates.birthDateUsed.emplace(f.birthDate, 8);
  if (failed != 0) {
    finish(e, failed);
    return e;
  }

  const int age = detail::compute_age(f);
  r.age = age;
  e.dates.age = age;
  CheckStep& ageCheck = e.checks[5];
  ageCheck.detail = "age " + std::to_string(age);
  if (age > detail::kMaxAge) {
    ageCheck.outcome = CheckOutcome::Failed;
    finish(e, 7);
    return e;
  }
  ageCheck.outcome = CheckOutcome::Passed;

  ImpairmentStep& imp = e.impairment.emplace();
  char key[8] = {};
  detail::remove_blanks(f.impairmentGroup + 2, 7, key);
  imp.key = key;
  imp.row = detail::find_impairment_row(key);
  CheckStep& impCheck = e.checks[6];
  if (imp.row == 0) {
    impCheck.detail = "key " + quoted(imp.key) + " is on no row";
    impCheck.outcome = CheckOutcome::Failed;
    finish(e, 9);
    return e;
  }
  imp.ric = Ric240[imp.row];
  impCheck.detail = "key " + quoted(imp.key) + " on row " + std::to_string(imp.row);
  impCheck.outcome = CheckOutcome::Passed;
  const char* ric = Ric240[imp.row];

  ScoresStep& s = e.scores.emplace();
  for (int k = 0; k < detail::kMotorItems; ++k) {
    const int value = detail::item_value(f.motor[k]);
    const int counted = detail::counted_motor_value(k, value);
    s.motor[k] = {std::string(f.motor[k], 2), value, counted, detail::kMotorWeight[k],
                  counted * detail::kMotorWeight[k]};
  }
  s.motorSum = detail::motor_sum(f);
  char motorText[16];
  detail::motor_text(s.motorSum, motorText);
  s.motorText = motorText;
  std::strcpy(r.motorScore, motorText);
  for (int k = 0; k < detail::kCognitiveItems; ++k) {
    const int value = detail::item_value(f.cognitive[k]);
    s.cognitive[k] = {std::string(f.cognitive[k], 2), value,
                      detail::counted_cognitive_value(value)};
  }
  s.cognitiveSum = detail::cognitive_sum(f);
  r.cognitiveScore = s.cognitiveSum;

  const int cmgRow = detail::find_cmg_row(ric, s.motorSum, s.cognitiveSum, age);
  if (cmgRow != 0) {
    auto bound = [](const char* low, const char* high, std::optional<int>& lo,
                    std::optional<int>& hi) {
      if (low[0] == ' ' || high[0] == ' ') return;
      lo = detail::to_int(low);
      hi = detail::to_int(high);
    };
    CmgRowStep& row = e.cmgRow.emplace();
    row.row = cmgRow;
    row.ric = RicCode[cmgRow];
    row.cmg = CMG[cmgRow];
    row.motorLow = detail::to_int(MotLow[cmgRow]);
    row.motorHigh = detail::to_int(MotHigh[cmgRow]);
    bound(CogLow[cmgRow], CogHigh[cmgRow], row.cognitiveLow, row.cognitiveHigh);
    bound(AgeLow[cmgRow], AgeHigh[cmgRow], row.ageLow, row.ageHigh);
  }

  detail::build_comorbid_list(slots);
  e.tier = compiledColumns ? explain_detail::walk_tier_rows(version, ric, slots)
                           : explain_detail::walk_tier_rows(version, ric, slots,
                                                            set_walk_lists(set.data(), version));
  // Rows are cited by the lines of the set's files.
  if (TierDecision* d = e.tier->decision ? &*e.tier->decision : nullptr) {
    const TierSetList list = set_list(version, d->list);
    d->placeholder = set.is_placeholder(list, d->row);
    d->file = tier_set_file(list);
    d->line = set.line(list, d->row);
  }
  for (SkippedRow& s : e.tier->skipped) {
    s.file = tier_set_file(set_list(version, s.list));
    s.line = set.line(set_list(version, s.list), s.row);
  }
  for (ExcludedPair& p : e.tier->excludedPairs) {
    p.line = set.line(TierSetList::Pair, p.row);
    for (const int b : p.barred) p.barredLines.push_back(set.line(TierSetList::Secondary, b));
  }
  r.cmg[0] = e.tier->letter;
  r.cmg[1] = '\0';
  if (cmgRow != 0) std::strcat(r.cmg, CMG[cmgRow]);
  finish(e, 0);
  return e;
}

}  // namespace

Explanation explain(std::string_view record) {
  Explanation e = explain_with(record, *TierSet::compiled(), true);
  find_edits(record, e.result, e.edits);
  return e;
}

Explanation explain(std::string_view record, const TierSet& set) {
  Explanation e = explain_with(record, set, false);
  find_edits(record, e.result, set, e.edits);
  return e;
}

const char* tier_list_name(TierList list) noexcept {
  switch (list) {
    case TierList::Single:
      return "single";
    case TierList::Pair:
      return "pair";
    case TierList::Secondary:
      return "secondary";
  }
  return "";
}

}  // namespace cmg290
