#include "cmg290/result_json.h"

#include <cstdint>
#include <cstring>

#include "cmg290/status.h"

namespace cmg290 {

namespace {

char* put(char* out, std::string_view s) {
  std::memcpy(out, s.data(), s.size());
  return out + s.size();
}

char* put_int(char* out, std::int64_t v) {
  char digits[24];
  char* p = digits + sizeof digits;
  std::uint64_t u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (v < 0) *--p = '-';
  return put(out, std::string_view(p, static_cast<std::size_t>(digits + sizeof digits - p)));
}

// A result text without its surrounding blanks (" 0.0" -> "0.0", "     " -> "").
template <std::size_t N>
std::string_view without_end_blanks(const char (&text)[N]) {
  std::string_view s(text, strnlen(text, N));
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The motor score text as a JSON number: the grouper writes a single-digit
// sum with nothing before the point (".7", "-.7"), which JSON does not allow.
char* put_json_number(char* out, std::string_view motor) {
  if (motor.empty()) return put(out, "0");
  if (motor.front() == '-') {
    *out++ = '-';
    motor.remove_prefix(1);
  }
  if (!motor.empty() && motor.front() == '.') *out++ = '0';
  return put(out, motor);
}

char* put_string(char* out, std::string_view s) {
  *out++ = '"';
  out = write_json_escaped(out, s);
  *out++ = '"';
  return out;
}

}  // namespace

char* write_json_escaped(char* out, std::string_view s) noexcept {
  static constexpr char kHex[] = "0123456789abcdef";
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      *out++ = '\\';
      *out++ = static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      *out++ = static_cast<char>(c);
    } else if (c == '\n') {
      out = put(out, "\\n");
    } else if (c == '\r') {
      out = put(out, "\\r");
    } else if (c == '\t') {
      out = put(out, "\\t");
    } else {
      out = put(out, "\\u00");
      *out++ = kHex[c >> 4];
      *out++ = kHex[c & 15];
    }
  }
  return out;
}

char* write_result_json(char* out, const Result& r, std::string_view description) noexcept {
  // Results the grouping did not reach are null instead of the grouper's
  // reset values, which could pass for real ones (age 0).
  const bool scores = reaches_cmg_and_scores(r.status);
  const bool age = reaches_age(r.status);
  out = put(out, "\"status\":");
  out = put_int(out, r.status);
  out = put(out, ",\"description\":");
  out = put_string(out, description);
  if (scores) {
    out = put(out, ",\"cmg\":");
    out = put_string(out, without_end_blanks(r.cmg));
    out = put(out, ",\"motor_score\":");
    out = put_json_number(out, without_end_blanks(r.motorScore));
    out = put(out, ",\"cognitive_score\":");
    out = put_int(out, r.cognitiveScore);
  } else {
    out = put(out, ",\"cmg\":null,\"motor_score\":null,\"cognitive_score\":null");
  }
  out = put(out, ",\"age\":");
  out = age ? put_int(out, r.age) : put(out, "null");
  const std::string_view tableVersion = without_end_blanks(r.tableVersion);
  out = put(out, ",\"table_version\":");
  out = tableVersion.empty() ? put(out, "null") : put_string(out, tableVersion);
  out = put(out, ",\"grouper_version\":");
  return put_string(out, without_end_blanks(r.grouperVersion));
}

}  // namespace cmg290
