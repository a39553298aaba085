#include "record_checks.h"

#include <cstring>
#include <iterator>

#include "decimal.h"

namespace cmg290::detail {

namespace {

struct VersionRange {
  std::int64_t from;
  std::int64_t to;
  TableVersion version;
};

constexpr std::int64_t kNoUpperBound = INT64_MAX;

constexpr VersionRange kVersionRanges[] = {
    {20100701, 20100930, TableVersion::V240}, {20101001, 20110930, TableVersion::V250},
    {20111001, 20140930, TableVersion::V260}, {20141001, 20150930, TableVersion::V270},
    {20151001, 20160930, TableVersion::V282}, {20161001, kNoUpperBound, TableVersion::V290},
};

constexpr bool ranges_ascending() {
  for (std::size_t i = 1; i < std::size(kVersionRanges); ++i) {
    if (kVersionRanges[i].from <= kVersionRanges[i - 1].to) return false;
  }
  return true;
}
static_assert(ranges_ascending(), "version ranges ascend without overlap");

constexpr std::int64_t kEarliestVersionDate = 20100701;

// True when one of the eight characters of a date field is a blank.
bool has_blank(const char (&date)[9]) {
  std::uint64_t word;
  std::memcpy(&word, date, sizeof word);
  const std::uint64_t x = word ^ 0x2020202020202020ULL;  // a zero byte where a blank is
  return ((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) != 0;
}

struct DateParts {
  int year, month, day;
};

// Year (characters 1-4), month (5-6) and day (7-8), each converted on its
// own.
DateParts date_parts(const char (&date)[9]) {
  std::uint64_t word;
  std::memcpy(&word, date, sizeof word);
  if (eight_digits(word)) {
    const auto v = static_cast<int>(date_value(date));
    return {v / 10000, v / 100 % 100, v % 100};
  }
  return {static_cast<int>(to_long_n(date, 4)), static_cast<int>(to_long_n(date + 4, 2)),
          static_cast<int>(to_long_n(date + 6, 2))};
}

// True when the record identifier is "IRF-PAI" once its blanks are removed.
bool is_irf_pai(const char (&recordId)[11]) {
  // The usual form, "IRF-PAI" and three blanks, needs no blank removal.
  if (std::memcmp(recordId, "IRF-PAI   ", 10) == 0) return true;
  char text[11];
  remove_blanks(recordId, 10, text);
  // The whole text, terminator included: "IRF-PAI" and nothing after it.
  return std::memcmp(text, "IRF-PAI", 8) == 0;
}

}  // namespace

TableVersion choose_version(std::int64_t versionDate) {
  // The ranges are in ascending order without overlap: the only range that
  // can hold the date is the last one starting on or before it. Counting the
  // starts passed takes no branch on the date.
  int started = 0;
  for (const VersionRange& r : kVersionRanges) started += versionDate >= r.from;
  if (started == 0) return TableVersion::None;
  const VersionRange& r = kVersionRanges[started - 1];
  return versionDate <= r.to ? r.version : TableVersion::None;
}

const char* version_label(TableVersion version) {
  switch (version) {
    case TableVersion::V240:
      return "2.40";
    case TableVersion::V250:
      return "2.50";
    case TableVersion::V260:
      return "2.60";
    case TableVersion::V270:
      return "2.70";
    case TableVersion::V282:
      return "2.82";
    case TableVersion::V290:
      return "2.90";
    case TableVersion::None:
      break;
  }
  return "    ";
}

int check_record(Fields& f, std::int64_t versionDate) {
  if (!is_irf_pai(f.recordId)) return 1;

  if (f.recordKind[0] == '3') return 2;

  if (versionDate < kEarliestVersionDate) return 3;

  // A blank in the birth date with the same year text as the age date: the
  // birth date is too incomplete to give an age.
  if (has_blank(f.birthDate) && std::memcmp(f.birthDate, f.ageDate, 4) == 0) return 5;

  // Unknown month defaults to June, unknown day to the 15th.
  char* birth = f.birthDate;
  if (birth[4] == ' ' && birth[5] == ' ') birth[4] = '0', birth[5] = '6';
  if (birth[6] == ' ' && birth[7] == ' ') birth[6] = '1', birth[7] = '5';

  if (date_value(f.ageDate) < date_value(f.birthDate)) return 6;
  return 0;
}

int compute_age(const Fields& f) {
  std::uint64_t atWord, birthWord;
  std::memcpy(&atWord, f.ageDate, sizeof atWord);
  std::memcpy(&birthWord, f.birthDate, sizeof birthWord);
  if (eight_digits(atWord) && eight_digits(birthWord)) {
    // As YYYYMMDD values, a year is 10000 and month and day together less:
    // the whole years between the dates are their difference over 10000.
    const std::int64_t at = date_value(f.ageDate), birth = date_value(f.birthDate);
    if (at >= birth) return static_cast<int>((at - birth) / 10000);
  }
  const DateParts at = date_parts(f.ageDate);
  const DateParts birth = date_parts(f.birthDate);
  const int years = at.year - birth.year;
  if (at.month < birth.month) return years - 1;
  if (at.month > birth.month) return years;
  return at.day < birth.day ? years - 1 : years;
}

}  // namespace cmg290::detail
