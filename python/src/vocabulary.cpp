#include "vocabulary.h"

#include <pybind11/pybind11.h>

#include <cstring>
#include <string>

#include "cmg290/cmg290.h"
#include "cmg290/status.h"
#include "cmg290/tables.h"
#include "tables/table_versions.h"

namespace cmg290::python {

namespace {

constexpr int kHighestStatus = cmg290::highest_status_code();
using cmg290::detail::kTableVersions;
constexpr char kTierLetters[] = "ABCD";
constexpr int kTierCount = 4;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int tier_of(char c) {
  return c >= 'A' && c <= 'D' ? c - 'A' : -1;
}

}  // namespace

Vocabulary::Vocabulary() : codeIndex_(10000, -1) {
  Py_INCREF(Py_None);
  strings_.push_back(Py_None);
  firstDescription_ = static_cast<int>(strings_.size());
  for (int s = 0; s <= kHighestStatus; ++s) add(cmg290::status_text(s));
  unknownStatus_ = add(cmg290::status_text(-1));
  firstTableVersion_ = static_cast<int>(strings_.size());
  for (const auto& v : kTableVersions) add(v.label);
  grouperVersion_ = add(std::string(cmg290::kGrouperVersion).c_str());
  firstTierLetter_ = static_cast<int>(strings_.size());
  for (int t = 0; t < kTierCount; ++t) add(std::string(1, kTierLetters[t]).c_str());

  std::vector<std::string> codes;
  for (int row = 1; row < kCmgRows; ++row) {
    const char* code = CMG[row];
    if (std::strlen(code) != 4 || !is_digit(code[0]) || !is_digit(code[1]) || !is_digit(code[2]) ||
        !is_digit(code[3])) {
      continue;
    }
    const int number = std::stoi(code);
    if (codeIndex_[static_cast<std::size_t>(number)] >= 0) continue;
    codeIndex_[static_cast<std::size_t>(number)] = static_cast<std::int16_t>(codes.size());
    codes.emplace_back(code);
  }
  codes_ = static_cast<int>(codes.size());
  firstCmg_ = static_cast<int>(strings_.size());
  for (int t = 0; t < kTierCount; ++t) {
    for (const std::string& code : codes) add((kTierLetters[t] + code).c_str());
  }
}

int Vocabulary::add(const char* text) {
  PyObject* s = PyUnicode_FromString(text);
  if (s == nullptr) throw pybind11::error_already_set();
  strings_.push_back(s);
  return static_cast<int>(strings_.size()) - 1;
}

int Vocabulary::description(int status) const {
  if (status < 0 || status > kHighestStatus) return unknownStatus_;
  return firstDescription_ + status;
}

int Vocabulary::cmg(const char* text) const {
  const int tier = tier_of(text[0]);
  if (tier < 0) return -1;
  if (text[1] == '\0') return firstTierLetter_ + tier;
  if (!is_digit(text[1]) || !is_digit(text[2]) || !is_digit(text[3]) || !is_digit(text[4]) ||
      text[5] != '\0') {
    return -1;
  }
  const int number =
      (text[1] - '0') * 1000 + (text[2] - '0') * 100 + (text[3] - '0') * 10 + (text[4] - '0');
  const int index = codeIndex_[static_cast<std::size_t>(number)];
  if (index < 0) return -1;
  return firstCmg_ + tier * codes_ + index;
}

int Vocabulary::table_version(const char* text) const {
  if (std::strcmp(text, cmg290::kResetResult.tableVersion) == 0) return kNone;
  for (int v = 0; v < static_cast<int>(std::size(kTableVersions)); ++v) {
    if (std::strcmp(text, kTableVersions[v].label) == 0) return firstTableVersion_ + v;
  }
  return -1;
}

int Vocabulary::grouper_version(const char* text) const {
  return text == cmg290::kGrouperVersion ? grouperVersion_ : -1;
}

const Vocabulary& vocabulary() {
  // Never destroyed: its strings must outlive every frame that points at
  // them, and the interpreter may already be gone when statics are.
  static const Vocabulary* v = new Vocabulary();
  return *v;
}

}  // namespace cmg290::python
