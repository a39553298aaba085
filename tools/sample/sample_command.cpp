// cmg290 sample: synthetic assessment records for demos, tests and
// benchmarks. The same count and seed always give the same records.
//
// Records are 1251 characters. Besides the fields the grouper reads, each
// carries its sequence number in positions 12 to 21 (try `group --id
// 12:10`). They spread evenly over the six table versions, with dates inside
// each version's range, impairment groups from the table, motor and
// cognitive items of 0 to 7, and comorbid codes of the kind each version
// uses (some of them on the tier lists). About one record in 25 has a flaw:
// one of each grouping failure, or its trailing blanks stripped.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/tables.h"
#include "commands.h"
#include "exit_codes.h"
#include "shared/output_file.h"
#include "tables/table_versions.h"

namespace cmg290::cli {

namespace {

constexpr std::size_t kLength = cmg290::kRecordLength;

// splitmix64: small, fast, and the same sequence on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n); the bias of the modulo is negligible for small n.
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  int between(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(int percent) { return below(100) < percent; }

 private:
  std::uint64_t state_;
};

// Days since 1970-01-01 and back (proleptic Gregorian calendar).
std::int64_t days_from_civil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = static_cast<int>(y - era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Date {
  int y, m, d;
};

Date civil_from_days(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = static_cast<int>(z - era * 146097);
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  const int d = doy - (153 * mp + 2) / 5 + 1;
  const int m = mp + (mp < 10 ? 3 : -9);
  return {static_cast<int>(yoe + era * 400) + (m <= 2), m, d};
}

// The samples' version dates stop here; the last version's range is
// open-ended.
constexpr std::int64_t kLastSampleDate = 20240930;

Date date_of(std::int64_t yyyymmdd) {
  return {static_cast<int>(yyyymmdd / 10000), static_cast<int>(yyyymmdd / 100 % 100),
          static_cast<int>(yyyymmdd % 100)};
}

// Comorbid codes: some on the tier lists of their versions (including the
// pairs of 2.82 and 2.90), most not.
constexpr const char* kIcd9TierCodes[] = {"478.31", "478.6", "V44.0",  "V45.11", "V55.0",
                                          "008.42", "041.7", "438.82", "579.3",  "787.20",
                                          "011.00", "998.6", "999.31"};
constexpr const char* kIcd9OtherCodes[] = {"401.9", "250.00", "428.0", "272.4",  "427.31", "V58.61",
                                           "285.9", "496.",   "714.0", "715.96", "V43.64"};
constexpr const char* kIcd10TierCodes[] = {
    "J38.01^^", "J38.4^^^", "Z99.2^^^", "Z93.0^^^", "A04.7^^^", "I69.391^",
    "R13.12^^", "A02.1^^^", "A15.0^^^", "T87.43^^", "E11.65^^", "B39.4^^^",
    "G02.^^^^", "E11.21^^", "H32.^^^^", "I32.^^^^", "E08.3211"};
constexpr const char* kIcd10OtherCodes[] = {"I10.^^^^", "E78.5^^^", "N18.3^^^", "Z79.4^^^",
                                            "F32.9^^^", "M19.90^^", "Z96.641^"};

template <std::size_t N>
const char* pick(const char* const (&codes)[N], Random& rnd) {
  return codes[rnd.below(static_cast<int>(N))];
}

constexpr int kComorbidSlots = 25;
constexpr int kMotorStart[] = {882, 888, 894, 900, 906, 912, 918, 924, 930, 936, 948, 956};
constexpr int kCognitiveStart[] = {962, 970, 978, 984, 990};

int comorbid_start(int slot) {
  return slot < 10 ? 754 + 8 * slot : 1132 + 8 * (slot - 10);
}

// Writes text at 1-based position `pos`.
void put(char* rec, int pos, std::string_view text) {
  std::memcpy(rec + pos - 1, text.data(), text.size());
}

void put_date(char* rec, int pos, const Date& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", d.y % 10000, d.m, d.d);
  put(rec, pos, std::string_view(text, 8));
}

void put_item(char* rec, int pos, int value, Random& rnd) {
  if (value == 0 && rnd.chance(30)) return;  // left blank: counts like 0
  const char text[2] = {'0', static_cast<char>('0' + value)};
  put(rec, pos, std::string_view(text, 2));
}

enum Flaw {
  kNone,
  kBadId,          // status 1
  kKindThree,      // status 2
  kEarlyDate,      // status 3
  kYearOnlyBirth,  // status 5
  kBornLater,      // status 6
  kTooOld,         // status 7
  kBadImpairment,  // status 9
  kStripped,       // trailing blanks removed, still groups
  kFlaws
};

// Builds one record into rec (kLength characters) and returns the length to
// write, which is shorter for a record whose trailing blanks were stripped.
std::size_t make_record(char* rec, std::uint64_t number, Random& rnd) {
  std::memset(rec, ' ', kLength);
  const Flaw flaw = rnd.chance(4) ? static_cast<Flaw>(rnd.between(kBadId, kFlaws - 1)) : kNone;

  const auto& range =
      detail::kTableVersions[rnd.below(static_cast<int>(std::size(detail::kTableVersions)))];
  const Date from = date_of(range.from);
  const Date to = date_of(std::min(range.to, kLastSampleDate));
  const std::int64_t first = days_from_civil(from.y, from.m, from.d);
  const std::int64_t last = days_from_civil(to.y, to.m, to.d);
  const bool icd10 = range.family == detail::CodeFamily::Icd10;
  const std::int64_t versionDay = first + rnd.below(static_cast<int>(last - first + 1));
  const std::int64_t ageDay = versionDay - rnd.between(0, 40);
  const int age = rnd.chance(10) ? rnd.between(18, 64) : rnd.between(65, 99);
  std::int64_t birthDay = ageDay - static_cast<std::int64_t>(age * 365.2425) - rnd.below(365);

  if (flaw == kBadId) {
    put(rec, 1, rnd.chance(50) ? "IRF-PAJ" : "MDS-3.0");
  } else {
    put(rec, 1, rnd.chance(5) ? "  IRF-PAI" : "IRF-PAI");
  }
  put(rec, 11, flaw == kKindThree ? "3" : rnd.chance(50) ? "1" : "2");
  char number10[16];
  std::snprintf(number10, sizeof number10, "%010llu",
                static_cast<unsigned long long>(number % 10000000000ULL));
  put(rec, 12, std::string_view(number10, 10));

  Date versionDate = civil_from_days(versionDay);
  if (flaw == kEarlyDate) versionDate.y = rnd.between(2005, 2009);
  put_date(rec, 996, versionDate);

  const Date ageDate = civil_from_days(ageDay);
  put_date(rec, 688, ageDate);
  if (flaw == kBornLater) birthDay = ageDay + rnd.between(1, 400);
  if (flaw == kTooOld)
    birthDay = ageDay - static_cast<std::int64_t>(rnd.between(141, 160) * 365.2425);
  Date birthDate = civil_from_days(birthDay);
  if (flaw == kYearOnlyBirth) birthDate.y = ageDate.y;
  put_date(rec, 657, birthDate);
  if (flaw == kYearOnlyBirth || rnd.chance(3)) put(rec, 661, "    ");  // month and day unknown

  const int row = rnd.between(1, kImpairmentRows - 1);
  put(rec, 722, flaw == kBadImpairment ? (rnd.chance(50) ? "04.22" : "99.9") : Imp240[row]);

  // Functional level of the patient, with each item scattered around it.
  const int motorLevel = rnd.between(1, 6);
  for (int pos : kMotorStart)
    put_item(rec, pos, std::clamp(motorLevel + rnd.between(-2, 2), 0, 7), rnd);
  const int cognitiveLevel = rnd.between(1, 7);
  for (int pos : kCognitiveStart) {
    put_item(rec, pos, std::clamp(cognitiveLevel + rnd.between(-1, 1), 0, 7), rnd);
  }

  // Comorbid codes: none to ten, now and then more in the second run of
  // slots; versions from 2.70 on sometimes end the list with "^".
  int codes = rnd.chance(20) ? 0 : rnd.between(1, 10);
  if (icd10 && rnd.chance(10)) codes += rnd.between(1, 15);
  for (int slot = 0; slot < codes && slot < kComorbidSlots; ++slot) {
    const bool tier = rnd.chance(8);
    const char* code = icd10 ? (tier ? pick(kIcd10TierCodes, rnd) : pick(kIcd10OtherCodes, rnd))
                             : (tier ? pick(kIcd9TierCodes, rnd) : pick(kIcd9OtherCodes, rnd));
    put(rec, comorbid_start(slot), code);
  }
  // A "^" ends the codes only where the tier search looks for one.
  if (detail::full_scan(range.id) && codes < kComorbidSlots && rnd.chance(30)) {
    put(rec, comorbid_start(codes), "^^^^^^^^");
  }

  std::size_t length = kLength;
  if (flaw == kStripped) {
    while (length > 0 && rec[length - 1] == ' ') --length;
  }
  return length;
}

int run_sample(std::uint64_t count, std::uint64_t seed, const std::string& path) {
  OutputFile output;
  if (!output.open(path)) return fatal(output.error());
  constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
  const auto buffer = std::make_unique<char[]>(kBufferBytes);
  std::size_t used = 0;
  Random rnd(seed);
  WriteStatus status = WriteStatus::Ok;
  for (std::uint64_t i = 1; i <= count && status == WriteStatus::Ok; ++i) {
    if (kBufferBytes - used < kLength + 1) {
      status = output.write(buffer.get(), used);
      used = 0;
    }
    used += make_record(buffer.get() + used, i, rnd);
    buffer[used++] = '\n';
  }
  output.write(buffer.get(), used);
  return output.finish(kExitClean);
}

}  // namespace

Command add_sample_command(CLI::App& app) {
  auto count = std::make_shared<std::uint64_t>(0);
  auto seed = std::make_shared<std::uint64_t>(1);
  auto output = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand(
      "sample", "Write synthetic assessment records, one per line, across all table versions.");
  cmd->add_option("-n,--count", *count, "Number of records.")->required();
  cmd->add_option("-s,--seed", *seed, "Seed; the same seed gives the same records.")
      ->default_str("1");
  cmd->add_option("-o,--output", *output, "Write here instead of standard output.");
  cmd->footer("Exit codes: 0 written; 2 bad arguments or unwritable output.");
  return {cmd, [count, seed, output] { return run_sample(*count, *seed, *output); }};
}

}  // namespace cmg290::cli
