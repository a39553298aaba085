// The texts of edits: each edit's English message, written from its data,
// and the two forms front ends write: the codes joined with ";" and a JSON
// array of objects.
#include <cstring>
#include <string_view>

#include "cmg290/edits.h"
#include "cmg290/result_json.h"
#include "tables/table_versions.h"

namespace cmg290 {

namespace {

static_assert(longest_edit_code() <= 40 && sizeof(Edit::value) <= 10);

// Appends to a buffer of kEditMessageMax bytes, dropping what does not fit
// before the terminator.
class Message {
 public:
  explicit Message(char* out) : begin_(out), at_(out), end_(out + kEditMessageMax - 1) {}

  Message& operator<<(std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(end_ - at_));
    std::memcpy(at_, text.data(), n);
    at_ += n;
    return *this;
  }
  Message& operator<<(char c) { return *this << std::string_view(&c, 1); }
  Message& operator<<(int value) {
    char digits[12];
    int n = 0;
    long long v = value;
    const bool negative = v < 0;
    if (negative) v = -v;
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    if (negative) *this << '-';
    while (n > 0) *this << digits[--n];
    return *this;
  }
  // A text in quotes.
  Message& quoted(std::string_view text) { return *this << '"' << text << '"'; }

  std::size_t finish() {
    *at_ = '\0';
    return static_cast<std::size_t>(at_ - begin_);
  }

 private:
  char* begin_;
  char* at_;
  char* end_;
};

std::string_view family_name(std::string_view label, bool ofVersion) {
  for (const detail::TableVersionInfo& v : detail::kTableVersions) {
    if (label == v.label) {
      const bool icd10 = v.family == detail::CodeFamily::Icd10;
      return icd10 == ofVersion ? "ICD-10-CM" : "ICD-9-CM";
    }
  }
  return "ICD-10-CM";
}

char hex_digit(int v) {
  return "0123456789abcdef"[v & 15];
}

}  // namespace

std::size_t write_edit_message(const Edit& e, char* out) noexcept {
  Message m(out);
  const std::string_view value = e.value_text();
  const std::string_view label(e.label, strnlen(e.label, sizeof e.label));
  switch (e.id) {
    case EditCode::ShortRecord:
      m << "the record has " << e.number << " characters, fewer than 1251: positions "
        << e.number + 1 << " to 1251 were read as blanks";
      break;
    case EditCode::UnreadableByte:
      m << "byte 0x" << hex_digit(e.number2 >> 4) << hex_digit(e.number2) << " at position "
        << e.number << " is not printable ASCII; it is read as a character that is never a digit "
        << "or a blank";
      break;
    case EditCode::DateInvalid:
      m.quoted(value) << " is not a calendar date (YYYYMMDD"
                      << (e.field == static_cast<int>(FieldId::birth_date)
                              ? "; the month and the day may be blank)"
                              : ")");
      break;
    case EditCode::AgeDateAfterVersionDate:
      m << "the age date " << value << " is after the version date " << e.detail_text();
      break;
    case EditCode::ImpairmentGroupForm: {
      // The key is read from the field's third character, without blanks.
      char key[10];
      int n = 0;
      for (std::size_t i = 2; i < value.size(); ++i) {
        if (value[i] != ' ') key[n++] = value[i];
      }
      m << "read from its third character the impairment group is ";
      m.quoted(std::string_view(key, static_cast<std::size_t>(n)))
          << ", which is not in the table; ";
      m.quoted(e.detail_text()) << " is, with RIC " << label;
      break;
    }
    case EditCode::ComorbidCodeForm:
      m.quoted(value) << " matches no list entry as written; table version " << label
                      << " compares ";
      m.quoted(e.detail_text()) << ", which is on its lists";
      if (e.tier[1] != '\0') {
        m << "; written so, the tier would " << (e.tier[1] == e.tier[0] ? "still be " : "be ")
          << e.tier[1];
        if (e.tier[1] != e.tier[0]) m << " instead of " << e.tier[0];
      }
      break;
    case EditCode::ComorbidCodeFamily:
      m.quoted(value) << " is an " << family_name(label, false) << " code, but table version "
                      << label << " compares " << family_name(label, true)
                      << " codes: it matches no list entry";
      break;
    case EditCode::ComorbidCodeShape:
      m.quoted(value) << " is shaped like neither an ICD-9-CM nor an ICD-10-CM code: it matches "
                      << "no list entry";
      break;
    case EditCode::ComorbidCodeRepeated:
      m.quoted(value) << " is also in comorbid_code_" << e.number;
      break;
    case EditCode::ComorbidCodeUnread:
      if (e.number == 0) {
        m << "table version " << label << " reads comorbid codes 1 to 10 only";
      } else {
        m << "the tier search of table version " << label << " stops at comorbid_code_" << e.number
          << ", which begins with \"^\"";
      }
      m << ": this code is never looked up";
      break;
    case EditCode::ItemValue:
      m.quoted(value) << " is neither blank nor a value from 0 to 7; it counts as " << e.number;
      break;
    case EditCode::NoCmgRow:
      m << "no CMG row of RIC " << label << " holds motor score " << e.detail_text()
        << ", cognitive score " << e.number << " and age " << e.number2
        << ": the result is the tier letter alone";
      break;
  }
  return m.finish();
}

std::string edit_message(const Edit& edit) {
  char text[kEditMessageMax];
  const std::size_t n = write_edit_message(edit, text);
  return std::string(text, n);
}

char* write_edit_codes(char* out, const Edits& edits) noexcept {
  for (int i = 0; i < edits.count; ++i) {
    if (i > 0) *out++ = ';';
    const std::string_view code = edits.items[i].code();
    std::memcpy(out, code.data(), code.size());
    out += code.size();
  }
  return out;
}

namespace {

char* put(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

}  // namespace

char* write_edits_json(char* out, const Edits& edits) noexcept {
  *out++ = '[';
  for (int i = 0; i < edits.count; ++i) {
    const Edit& e = edits.items[i];
    if (i > 0) *out++ = ',';
    out = put(out, "{\"code\":\"");
    out = put(out, e.code());
    out = put(out, "\",\"severity\":\"");
    out = put(out, severity_text(e.severity()));
    out = put(out, "\",\"field\":");
    if (e.field < 0) {
      out = put(out, "null");
    } else {
      *out++ = '"';
      out = put(out, e.field_name());
      *out++ = '"';
    }
    out = put(out, ",\"value\":\"");
    out = write_json_escaped(out, e.value_text());
    out = put(out, "\",\"message\":\"");
    char message[kEditMessageMax];
    const std::size_t n = write_edit_message(e, message);
    out = write_json_escaped(out, std::string_view(message, n));
    out = put(out, "\"}");
  }
  *out++ = ']';
  return out;
}

}  // namespace cmg290
