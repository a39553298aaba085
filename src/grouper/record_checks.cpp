#include "grouper/record_checks.h"

#include <cstring>
#include <iterator>

#include "grouper/decimal.h"
#include "grouper/word_bytes.h"

namespace cmg290::detail {

namespace {

constexpr std::int64_t kEarliestVersionDate = kTableVersions[0].from;

// True when one of the eight characters of a date field is a blank.
bool has_blank(const char (&date)[9]) {
  std::uint64_t word;
  std::memcpy(&word, date, sizeof word);
  return first_blank_flags(word) != 0;
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
  for (const TableVersionInfo& v : kTableVersions) started += versionDate >= v.from;
  if (started == 0) return TableVersion::None;
  const TableVersionInfo& v = kTableVersions[started - 1];
  return versionDate <= v.to ? v.id : TableVersion::None;
}

const char* version_label(TableVersion version) {
  return version == TableVersion::None ? "    " : table_version_info(version).label;
}

Status check_record(Fields& f, std::int64_t versionDate) {
  if (!is_irf_pai(f.recordId)) return Status::NotIrfPai;

  if (f.recordKind[0] == '3') return Status::RecordKind3;

  if (versionDate < kEarliestVersionDate) return Status::VersionDateTooEarly;

  // A blank in the birth date with the same year text as the age date: the
  // birth date is too incomplete to give an age.
  if (has_blank(f.birthDate) && std::memcmp(f.birthDate, f.ageDate, 4) == 0) {
    return Status::BirthDateIncomplete;
  }

  // Unknown month defaults to June, unknown day to the 15th.
  char* birth = f.birthDate;
  if (birth[4] == ' ' && birth[5] == ' ') birth[4] = '0', birth[5] = '6';
  if (birth[6] == ' ' && birth[7] == ' ') birth[6] = '1', birth[7] = '5';

  if (date_value(f.ageDate) < date_value(f.birthDate)) return Status::AgeDateBeforeBirth;
  return Status::Grouped;
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
