// The edits of single fields: unreadable bytes, dates, the impairment
// group, the motor and cognitive items, and a grouping without a CMG row.
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "cmg290/status.h"
#include "cmg290/tables.h"
#include "edits/edit_checks.h"
#include "grouper/classify.h"
#include "grouper/decimal.h"
#include "grouper/record_intake.h"

namespace cmg290::edits_detail {

namespace {

constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// The high bit of every byte outside 0x20 to 0x7e. Byte by byte without a
// carry between bytes: a byte below 0x80 plus 0x60 reaches 0x80 from 0x20
// on, plus 0x01 from 0x7f on.
constexpr std::uint64_t unprintable_flags(std::uint64_t word) {
  const std::uint64_t low = word & kLow7;
  const std::uint64_t fromBlank = (low + 0x6060606060606060ULL) & kHigh;
  const std::uint64_t fromDel = (low + 0x0101010101010101ULL) & kHigh;
  return (word & kHigh) | (~fromBlank & kHigh) | fromDel;
}
static_assert(unprintable_flags(0x7E20414243444546ULL) == 0);
static_assert(unprintable_flags(0x7F1F80FF00202020ULL) == 0x8080808080000000ULL);

// Every field is read in words of eight bytes that lie inside the record:
// a field of eight or fewer from its start, a longer one also from eight
// before its end.
constexpr bool words_inside_record() {
  for (const FieldLayout& f : kRecordLayout) {
    if (f.length > 16 || f.start - 1 + std::max(f.length, 8) > static_cast<int>(kRecordLength)) {
      return false;
    }
  }
  return true;
}
static_assert(words_inside_record());
static_assert(kRecordFieldCount <= 64, "a bit per field");

std::uint64_t load(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

int field_index(FieldId id) {
  return static_cast<int>(id);
}

const char* field_text(const char* record, FieldId id) {
  return record + field_layout(id).start - 1;
}

}  // namespace

void set_text(char* out, unsigned char& length, std::string_view text, std::size_t room) {
  const std::size_t n = std::min(text.size(), room);
  std::memcpy(out, text.data(), n);
  length = static_cast<unsigned char>(n);
}

Edit* add_edit(Edits& edits, EditCode id, int field, const char* record) {
  if (edits.count == Edits::kCapacity) return nullptr;
  Edit& e = edits.items[edits.count++];
  e.id = id;
  e.field = static_cast<signed char>(field);
  e.valueLength = 0;
  e.detailLength = 0;
  e.label[0] = '\0';
  e.tier[0] = e.tier[1] = '\0';
  e.number = e.number2 = 0;
  if (field >= 0) {
    const FieldLayout& f = kRecordLayout[field];
    std::string_view text(record + f.start - 1, static_cast<std::size_t>(f.length));
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    set_text(e.value, e.valueLength, text, sizeof e.value);
  }
  return &e;
}

namespace {

// Field I with unprintable bytes, as bit I; the field's start and length are
// constants, so each field is one or two loads and a mask.
template <std::size_t I>
std::uint64_t unreadable_field(const char* record) {
  constexpr FieldLayout f = kRecordLayout[I];
  const char* at = record + f.start - 1;
  std::uint64_t flags;
  if constexpr (f.length >= 8) {
    flags = unprintable_flags(load(at)) | unprintable_flags(load(at + f.length - 8));
  } else {
    flags = unprintable_flags(load(at)) & (~std::uint64_t{0} >> (64 - 8 * f.length));
  }
  return std::uint64_t{flags != 0} << I;
}

template <std::size_t... I>
std::uint64_t unreadable_fields(const char* record, std::index_sequence<I...>) {
  return (unreadable_field<I>(record) | ...);
}

}  // namespace

// The record's positions that fields cover lie in three spans: 1 to 11, from
// the birth date to the version date, and the last fifteen comorbid cells.
constexpr int kMiddleFirst = field_layout(FieldId::birth_date).start;
constexpr int kMiddleLast = field_layout(FieldId::version_date).end();
constexpr int kLateFirst = field_layout(FieldId::comorbid_code_11).start;
constexpr bool spans_cover_fields() {
  for (const FieldLayout& f : kRecordLayout) {
    const bool inside = f.end() <= 11 || (f.start >= kMiddleFirst && f.end() <= kMiddleLast) ||
                        (f.start >= kLateFirst && f.end() <= static_cast<int>(kRecordLength));
    if (!inside) return false;
  }
  return true;
}
static_assert(spans_cover_fields());
static_assert(kMiddleLast - kMiddleFirst + 1 >= 16 && kRecordLength - kLateFirst + 1 >= 16);

// Some byte of the n (16 or more) at `at` is outside printable ASCII: sixteen
// bytes at a time, where the compiler has vectors. A byte from 0x80 on is
// below 0x20 as a signed char.
bool span_unprintable(const char* at, int n) {
#if defined(__GNUC__)
  using Bytes = signed char __attribute__((vector_size(16)));
  Bytes any = {};
  Bytes blank = {};
  blank += 0x20;
  Bytes del = {};
  del += 0x7F;
  for (int i = 0; i < n; i += 16) {
    Bytes v;
    std::memcpy(&v, at + std::min(i, n - 16), sizeof v);
    any |= (v < blank) | (v == del);
  }
  std::uint64_t half[2];
  std::memcpy(half, &any, sizeof half);
  return (half[0] | half[1]) != 0;
#else
  for (int i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(at[i]) < 0x20 || static_cast<unsigned char>(at[i]) > 0x7E) {
      return true;
    }
  }
  return false;
#endif
}

std::uint64_t unreadable_fields(const char* record) {
  const bool clean = unprintable_flags(load(record)) == 0 &&
                     unprintable_flags(load(record + 3)) == 0 &&
                     !span_unprintable(record + kMiddleFirst - 1, kMiddleLast - kMiddleFirst + 1) &&
                     !span_unprintable(record + kLateFirst - 1, kRecordLength - kLateFirst + 1);
  if (clean) return 0;
  return unreadable_fields(record, std::make_index_sequence<kRecordFieldCount>{});
}

void check_unreadable(const EditContext& c, Edits& edits) {
  for (std::uint64_t left = c.unreadable; left != 0; left &= left - 1) {
    const int i = std::countr_zero(left);
    const FieldLayout& f = kRecordLayout[i];
    Edit* e = add_edit(edits, EditCode::UnreadableByte, i, c.record);
    if (e == nullptr) return;
    for (int k = 0; k < f.length; ++k) {
      const auto byte = static_cast<unsigned char>(c.record[f.start - 1 + k]);
      if (byte < 0x20 || byte > 0x7E) {
        e->number = f.start + k;
        e->number2 = byte;
        break;
      }
    }
  }
}

bool calendar_date(const char* d, bool birth) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (detail::eight_digits(load(d))) {  // the usual case
    char text[9];
    std::memcpy(text, d, 8);
    text[8] = '\0';
    const auto v = static_cast<int>(detail::date_value(text));
    const int year = v / 10000, month = v / 100 % 100, day = v % 100;
    if (year == 0 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap);
  }
  auto digits = [&](int from, int n) {
    for (int k = from; k < from + n; ++k) {
      if (!detail::is_digit(d[k])) return false;
    }
    return true;
  };
  auto blank = [&](int from) { return d[from] == ' ' && d[from + 1] == ' '; };
  auto number = [&](int from, int n) { return static_cast<int>(detail::to_long_n(d + from, n)); };
  if (!digits(0, 4) || number(0, 4) == 0) return false;
  int month = 6;  // what a blank birth month is read as
  if (!(birth && blank(4))) {
    if (!digits(4, 2)) return false;
    month = number(4, 2);
    if (month < 1 || month > 12) return false;
  }
  if (birth && blank(6)) return true;
  if (!digits(6, 2)) return false;
  const int year = number(0, 4);
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int day = number(6, 2);
  return day >= 1 && day <= kDays[month - 1] + (month == 2 && leap);
}

void check_dates(const EditContext& c, Edits& edits) {
  constexpr FieldId kDates[] = {FieldId::birth_date, FieldId::age_date, FieldId::version_date};
  bool valid[3];
  for (int k = 0; k < 3; ++k) {
    valid[k] = calendar_date(field_text(c.record, kDates[k]), kDates[k] == FieldId::birth_date);
    if (!valid[k]) add_edit(edits, EditCode::DateInvalid, field_index(kDates[k]), c.record);
  }
  const char* age = field_text(c.record, FieldId::age_date);
  const char* version = field_text(c.record, FieldId::version_date);
  if (valid[1] && valid[2] && std::memcmp(age, version, 8) > 0) {
    Edit* e = add_edit(edits, EditCode::AgeDateAfterVersionDate, field_index(FieldId::age_date),
                       c.record);
    if (e != nullptr) set_text(e->detail, e->detailLength, std::string_view(version, 8), 8);
  }
}

int record_ric(const char* record) {
  char key[8] = {};
  detail::remove_blanks(field_text(record, FieldId::impairment_group) + 2, 7, key);
  const int row = detail::find_impairment_row(key);
  return row == 0 ? 0 : detail::ric_number(Ric240[row]);
}

void check_impairment(const EditContext& c, Edits& edits) {
  if (c.result.status != static_cast<int>(Status::ImpairmentUnknown)) return;
  // The field without its blanks from its first character, then that and
  // the key read from the third character with a leading zero.
  const char* field = field_text(c.record, FieldId::impairment_group);
  char whole[10];
  detail::remove_blanks(field, 9, whole);
  char key[8];
  detail::remove_blanks(field + 2, 7, key);
  char candidates[3][10] = {};
  std::memcpy(candidates[0], whole, sizeof whole);
  candidates[1][0] = candidates[2][0] = '0';
  std::memcpy(candidates[1] + 1, whole, 9);
  std::memcpy(candidates[2] + 1, key, 8);
  for (const char* form : candidates) {
    const std::size_t n = std::strlen(form);
    if (n == 0 || n > 7 || std::strcmp(form, key) == 0) continue;
    char lookup[8] = {};
    std::memcpy(lookup, form, n);
    const int row = detail::find_impairment_row(lookup);
    if (row == 0) continue;
    Edit* e = add_edit(edits, EditCode::ImpairmentGroupForm, field_index(FieldId::impairment_group),
                       c.record);
    if (e == nullptr) return;
    set_text(e->detail, e->detailLength, std::string_view(form, n), sizeof e->detail);
    std::memcpy(e->label, Ric240[row], 3);  // two digits and the terminator
    return;
  }
}

// Blank, or one digit from 0 to 7 with a blank or "0" before it or a blank
// after it.
bool item_in_range(const char (&item)[3]) {
  const char a = item[0], b = item[1];
  const bool aDigit = a >= '0' && a <= '7', bDigit = b >= '0' && b <= '7';
  return (a == ' ' && (b == ' ' || bDigit)) || (a == '0' && bDigit) || (aDigit && b == ' ');
}

void check_items(const EditContext& c, Edits& edits) {
  constexpr int kFirst = static_cast<int>(FieldId::motor_item_1);
  constexpr int kItems = detail::kMotorItems + detail::kCognitiveItems;
  static_assert(static_cast<int>(FieldId::cognitive_item_5) == kFirst + kItems - 1);
  for (int k = 0; k < kItems; ++k) {
    const char* at = c.record + kRecordLayout[kFirst + k].start - 1;
    const char item[3] = {at[0], at[1], '\0'};
    if (item_in_range(item)) continue;
    Edit* e = add_edit(edits, EditCode::ItemValue, kFirst + k, c.record);
    if (e == nullptr) return;
    const int value = detail::item_value(item);
    e->number = k < detail::kMotorItems ? detail::counted_motor_value(k, value)
                                        : detail::counted_cognitive_value(value);
  }
}

void check_cmg_row(const EditContext& c, Edits& edits) {
  if (c.result.status != 0 || c.result.cmg[0] == '\0' || c.result.cmg[1] != '\0') return;
  Edit* e = add_edit(edits, EditCode::NoCmgRow, -1, c.record);
  if (e == nullptr) return;
  set_text(e->value, e->valueLength, std::string_view(c.result.cmg, 1), sizeof e->value);
  set_text(e->detail, e->detailLength,
           std::string_view(c.result.motorScore,
                            strnlen(c.result.motorScore, sizeof c.result.motorScore - 1)),
           sizeof e->detail);
  e->number = c.result.cognitiveScore;
  e->number2 = c.result.age;
  const int ric = record_ric(c.record);
  e->label[0] = static_cast<char>('0' + ric / 10);
  e->label[1] = static_cast<char>('0' + ric % 10);
  e->label[2] = '\0';
}

}  // namespace cmg290::edits_detail
