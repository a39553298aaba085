#include "report_tally.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cmg290::cli::report {

namespace {

int digit(char c) {
  return c >= '0' && c <= '9' ? c - '0' : -1;
}

// The motor score's text ("53.5", " 0.0") in tenths.
int tenths(const char* text) {
  int value = 0;
  bool negative = false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '-') negative = true;
    if (digit(*p) >= 0) value = value * 10 + digit(*p);
  }
  return negative ? -value : value;
}

int tier_slot(char letter) {
  return letter >= 'A' && letter <= 'D' ? letter - 'A' : 4;
}

// The RIC (0 to 99) and CMG number (0 to 9999) of a result's CMG, false for
// a result without one (not grouped, or a tier letter alone).
bool cmg_of(const Result& r, int& ric, int& cmg) {
  cmg = 0;
  for (int i = 1; i < 5; ++i) {
    const int d = digit(r.cmg[i]);
    if (d < 0) return false;
    cmg = cmg * 10 + d;
  }
  ric = cmg / 100;
  return true;
}

void add_histograms(std::array<Histogram, kScaleCount>& h, int motorTenths, int cognitive,
                    int age) {
  ++h[0][kMotorBins.bin(motorTenths)];
  ++h[1][kCognitiveBins.bin(cognitive)];
  ++h[2][kAgeBins.bin(age)];
}

void add_histograms(std::array<Histogram, kScaleCount>& to,
                    const std::array<Histogram, kScaleCount>& from) {
  for (int s = 0; s < kScaleCount; ++s) {
    for (int b = 0; b < kMaxBins; ++b) to[s][b] += from[s][b];
  }
}

std::string date_text(std::uint32_t date) {
  return date == 0 ? "" : std::to_string(date);
}

// A CMG number 0 to 9999 as its four digits.
std::string cmg_text(int cmg) {
  std::string s(4, '0');
  for (int i = 3; i >= 0; --i, cmg /= 10) s[i] = static_cast<char>('0' + cmg % 10);
  return s;
}

}  // namespace

std::uint32_t version_date(std::string_view record) {
  const FieldLayout& f = field_layout(FieldId::version_date);
  if (record.size() < static_cast<std::size_t>(f.end())) return 0;
  std::uint32_t date = 0;
  for (int i = 0; i < f.length; ++i) {
    const int d = digit(record[f.start - 1 + i]);
    if (d < 0) return 0;
    date = date * 10 + static_cast<std::uint32_t>(d);
  }
  const std::uint32_t month = date / 100 % 100, day = date % 100;
  return month >= 1 && month <= 12 && day >= 1 && day <= 31 ? date : 0;
}

Tally::Tally() : cmgTiers(10000), months(kMonthSlots), monthWeighted(kMonthSlots) {}

Tally::VersionSlot& Tally::version_slot(const char* label) {
  std::uint32_t key = 0;
  std::memcpy(&key, label, 4);
  for (int i = 0; i < versionCount; ++i) {
    if (versions[i].label == key) return versions[i];
  }
  if (versionCount == kVersionSlots) return versions[kVersionSlots];
  versions[versionCount].label = key;
  return versions[versionCount++];
}

void Tally::add(std::string_view record, const Result& r, bool placeholder, const Edits& edits,
                const WeightTable* weights) {
  ++records;
  const bool known = r.status >= 0 && r.status <= kHighestStatus;
  ++byStatus[known ? r.status : kStatusSlots - 1];
  placeholders += placeholder;

  const std::uint32_t date = version_date(record);
  Weighted* month = nullptr;
  if (date == 0) {
    ++notADate;
  } else {
    if (firstDate == 0 || date < firstDate) firstDate = date;
    if (date > lastDate) lastDate = date;
    const int year = static_cast<int>(date / 10000);
    if (year >= kFirstYear && year < kFirstYear + kMonthSlots / 12) {
      const int slot = (year - kFirstYear) * 12 + static_cast<int>(date / 100 % 100) - 1;
      ++months[slot];
      month = &monthWeighted[slot];
    } else {
      ++outOfRangeMonths;
      month = &outOfRangeWeighted;
    }
  }
  VersionSlot& version = version_slot(r.tableVersion);
  ++version.records;

  if (!edits.empty()) {
    ++withEdits;
    std::uint32_t seen = 0;
    for (const Edit& e : edits) {
      const int id = static_cast<int>(e.id);
      seen |= std::uint32_t{1} << id;
      ++editOccurrences[id];
      ++editFields[id][e.field < 0 ? kFieldSlots - 1 : e.field];
    }
    for (std::size_t i = 0; seen != 0; ++i, seen >>= 1) editRecords[i] += seen & 1;
  }

  if (r.status != 0) return;
  const int tier = tier_slot(r.cmg[0]);
  ++byTier[tier];
  const int motor = tenths(r.motorScore);
  add_histograms(histograms, motor, r.cognitiveScore, r.age);

  int ric = 0, cmg = 0;
  const bool hasCmg = cmg_of(r, ric, cmg);
  if (!hasCmg) ++tierWithoutCmg;
  if (hasCmg) {
    ++cmgTiers[cmg][tier];
    ++ricTiers[ric][tier];
    add_histograms(ricHistograms[ric], motor, r.cognitiveScore, r.age);
  }
  if (weights == nullptr) return;

  // The record's share of the case-mix index, wherever it is counted.
  const Weighted w = weigh(*weights, hasCmg ? cmg : -1, r.cmg[0]);
  weighted.add(w);
  version.weighted.add(w);
  if (month != nullptr) month->add(w);
  if (hasCmg) ricWeighted[ric].add(w);
}

void Tally::add(const Tally& o) {
  records += o.records;
  for (int i = 0; i < kStatusSlots; ++i) byStatus[i] += o.byStatus[i];
  for (int i = 0; i < kTierSlots; ++i) byTier[i] += o.byTier[i];
  placeholders += o.placeholders;
  tierWithoutCmg += o.tierWithoutCmg;
  add_histograms(histograms, o.histograms);
  for (std::size_t c = 0; c < cmgTiers.size(); ++c) {
    for (int t = 0; t < kTierSlots; ++t) cmgTiers[c][t] += o.cmgTiers[c][t];
  }
  for (int ric = 0; ric < 100; ++ric) {
    for (int t = 0; t < kTierSlots; ++t) ricTiers[ric][t] += o.ricTiers[ric][t];
    add_histograms(ricHistograms[ric], o.ricHistograms[ric]);
    ricWeighted[ric].add(o.ricWeighted[ric]);
  }
  if (o.firstDate != 0 && (firstDate == 0 || o.firstDate < firstDate)) firstDate = o.firstDate;
  lastDate = std::max(lastDate, o.lastDate);
  notADate += o.notADate;
  for (int m = 0; m < kMonthSlots; ++m) {
    months[m] += o.months[m];
    monthWeighted[m].add(o.monthWeighted[m]);
  }
  outOfRangeMonths += o.outOfRangeMonths;
  outOfRangeWeighted.add(o.outOfRangeWeighted);
  for (int i = 0; i < o.versionCount; ++i) {
    char label[4];
    std::memcpy(label, &o.versions[i].label, 4);
    VersionSlot& mine = version_slot(label);
    mine.records += o.versions[i].records;
    mine.weighted.add(o.versions[i].weighted);
  }
  versions[kVersionSlots].records += o.versions[kVersionSlots].records;
  versions[kVersionSlots].weighted.add(o.versions[kVersionSlots].weighted);
  withEdits += o.withEdits;
  for (std::size_t e = 0; e < kEditCount; ++e) {
    editRecords[e] += o.editRecords[e];
    editOccurrences[e] += o.editOccurrences[e];
    for (int f = 0; f < kFieldSlots; ++f) editFields[e][f] += o.editFields[e][f];
  }
  weighted.add(o.weighted);
}

void Tally::fill(Figures& f, bool withWeights) const {
  f.records = records;
  f.grouped = byStatus[0];
  f.statuses.clear();
  for (const StatusCode& s : kStatusCodes) {
    f.statuses.push_back({s.code, std::string(s.description), byStatus[s.code]});
  }
  if (byStatus[kStatusSlots - 1] > 0) {
    f.statuses.push_back(
        {kOtherStatus, std::string(kUnknownStatusText), byStatus[kStatusSlots - 1]});
  }
  f.tiers = byTier;
  f.tierWithoutCmg = tierWithoutCmg;
  f.placeholderTiers = placeholders;
  f.histograms = histograms;

  f.rics.clear();
  for (int ric = 0; ric < 100; ++ric) {
    RicFigure r;
    for (int t = 0; t < kTierSlots; ++t) r.records += ricTiers[ric][t];
    if (r.records == 0) continue;
    r.ric = {static_cast<char>('0' + ric / 10), static_cast<char>('0' + ric % 10)};
    r.tiers = ricTiers[ric];
    r.histograms = ricHistograms[ric];
    r.weighted = ricWeighted[ric];
    f.rics.push_back(std::move(r));
  }

  std::vector<CmgFigure> cmgs;
  for (int c = 0; c < static_cast<int>(cmgTiers.size()); ++c) {
    CmgFigure g;
    for (int t = 0; t < kTierSlots; ++t) g.records += cmgTiers[c][t];
    if (g.records == 0) continue;
    g.cmg = cmg_text(c);
    g.tiers = cmgTiers[c];
    cmgs.push_back(std::move(g));
  }
  f.distinctCmgs = cmgs.size();
  std::stable_sort(cmgs.begin(), cmgs.end(),
                   [](const CmgFigure& a, const CmgFigure& b) { return a.records > b.records; });
  if (cmgs.size() > kTopCmgs) cmgs.resize(kTopCmgs);
  f.topCmgs = std::move(cmgs);

  f.firstVersionDate = date_text(firstDate);
  f.lastVersionDate = date_text(lastDate);
  f.notADate = notADate;
  f.months.clear();
  for (int m = 0; m < kMonthSlots; ++m) {
    if (months[m] == 0) continue;
    char label[8];
    std::snprintf(label, sizeof label, "%04d-%02d", kFirstYear + m / 12, m % 12 + 1);
    f.months.push_back({label, months[m], monthWeighted[m]});
  }
  if (outOfRangeMonths > 0) f.months.push_back({"other", outOfRangeMonths, outOfRangeWeighted});

  f.tableVersions.clear();
  for (int i = 0; i < versionCount; ++i) {
    char label[5] = {};
    std::memcpy(label, &versions[i].label, 4);
    std::string text(label);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    f.tableVersions.push_back({text, versions[i].records, versions[i].weighted});
  }
  std::sort(f.tableVersions.begin(), f.tableVersions.end(),
            [](const CountedLabel& a, const CountedLabel& b) { return a.label < b.label; });
  if (versions[kVersionSlots].records > 0) {
    f.tableVersions.push_back(
        {"other", versions[kVersionSlots].records, versions[kVersionSlots].weighted});
  }

  f.recordsWithEdits = withEdits;
  f.edits.clear();
  for (const EditInfo& info : kEditCatalogue) {
    const int id = static_cast<int>(info.id);
    if (editRecords[id] == 0) continue;
    EditFigure e;
    e.code = info.code;
    e.severity = severity_text(info.severity);
    e.meaning = info.meaning;
    e.records = editRecords[id];
    e.occurrences = editOccurrences[id];
    for (int field = 0; field < kFieldSlots; ++field) {
      if (editFields[id][field] == 0) continue;
      e.fields.emplace_back(field == kFieldSlots - 1 ? "" : std::string(kRecordLayout[field].name),
                            editFields[id][field]);
    }
    f.edits.push_back(std::move(e));
  }
  if (withWeights) f.weighted = weighted;
}

std::vector<PairCount> missing_pairs(const Tally& t, const WeightTable& weights) {
  std::vector<PairCount> missing;
  if (t.tierWithoutCmg > 0) missing.push_back({"", ' ', t.tierWithoutCmg});
  for (int c = 0; c < static_cast<int>(t.cmgTiers.size()); ++c) {
    for (int tier = 0; tier < kTierSlots; ++tier) {
      const std::uint64_t n = t.cmgTiers[c][tier];
      const char letter = tier < 4 ? kTierLetters[tier] : '?';
      if (n == 0 || weights.weight(c, letter) != WeightTable::kNone) continue;
      missing.push_back({cmg_text(c), letter, n});
    }
  }
  return missing;
}

}  // namespace cmg290::cli::report
