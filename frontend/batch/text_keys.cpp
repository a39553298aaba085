#include "batch/text_keys.h"

#include <cstring>

#include "cmg290/cmg290.h"
#include "cmg290/status.h"
#include "cmg290/tables.h"
#include "tables/table_versions.h"

namespace cmg290::batch {

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

TextKeys::TextKeys() : codeIndex_(10000, -1), ricIndex_(100, -1) {
  add("");  // kNoText
  firstDescription_ = static_cast<int>(texts_.size());
  for (int s = 0; s <= kHighestStatus; ++s) add(cmg290::status_text(s));
  unknownStatus_ = add(cmg290::status_text(-1));
  firstTableVersion_ = static_cast<int>(texts_.size());
  for (const auto& v : kTableVersions) {
    add(v.label);
    std::uint32_t word = 0;
    word_of(v.label, word);  // every label has four characters (table_versions.h)
    tableVersionWords_.push_back(word);
  }
  word_of(cmg290::kResetResult.tableVersion, blankVersionWord_);
  grouperVersion_ = add(std::string(cmg290::kGrouperVersion));
  word_of(std::string(cmg290::kGrouperVersion).c_str(), grouperVersionWord_);
  firstTierLetter_ = static_cast<int>(texts_.size());
  for (int t = 0; t < kTierCount; ++t) add(std::string(1, kTierLetters[t]));

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
  firstCmg_ = static_cast<int>(texts_.size());
  for (int t = 0; t < kTierCount; ++t) {
    for (const std::string& code : codes) add(kTierLetters[t] + code);
  }
  firstRic_ = static_cast<int>(texts_.size());
  for (const std::string& code : codes) {
    ricIndex_[static_cast<std::size_t>(std::stoi(code.substr(0, 2)))] = 0;
  }
  for (std::size_t ric = 0; ric < ricIndex_.size(); ++ric) {
    if (ricIndex_[ric] < 0) continue;
    ricIndex_[ric] = static_cast<std::int16_t>(
        add(std::string{static_cast<char>('0' + ric / 10), static_cast<char>('0' + ric % 10)}) -
        firstRic_);
  }
}

bool TextKeys::word_of(const char* text, std::uint32_t& word) noexcept {
  // Looked at in order, so that no byte past a shorter text's end is read.
  if (text[0] == '\0' || text[1] == '\0' || text[2] == '\0' || text[3] == '\0' || text[4] != '\0') {
    return false;
  }
  std::memcpy(&word, text, 4);
  return true;
}

TextKey TextKeys::add(std::string text) {
  texts_.push_back(std::move(text));
  return static_cast<TextKey>(texts_.size() - 1);
}

TextKey TextKeys::description(int status) const noexcept {
  if (status < 0 || status > kHighestStatus) return static_cast<TextKey>(unknownStatus_);
  return static_cast<TextKey>(firstDescription_ + status);
}

TextKey TextKeys::cmg(const char* text) const noexcept {
  const int tier = tier_of(text[0]);
  if (tier < 0) return kOddText;
  if (text[1] == '\0') return static_cast<TextKey>(firstTierLetter_ + tier);
  if (!is_digit(text[1]) || !is_digit(text[2]) || !is_digit(text[3]) || !is_digit(text[4]) ||
      text[5] != '\0') {
    return kOddText;
  }
  const int number =
      (text[1] - '0') * 1000 + (text[2] - '0') * 100 + (text[3] - '0') * 10 + (text[4] - '0');
  const int index = codeIndex_[static_cast<std::size_t>(number)];
  if (index < 0) return kOddText;
  return static_cast<TextKey>(firstCmg_ + tier * codes_ + index);
}

TextKey TextKeys::tier(const char* cmg) const noexcept {
  if (cmg[0] == '\0') return kNoText;
  const int t = tier_of(cmg[0]);
  return t < 0 ? kOddText : static_cast<TextKey>(firstTierLetter_ + t);
}

TextKey TextKeys::ric(const char* cmg) const noexcept {
  if (cmg[0] == '\0') return kNoText;
  if (tier_of(cmg[0]) < 0) return kOddText;
  if (cmg[1] == '\0') return kNoText;  // a tier letter alone: no CMG row, no RIC
  if (!is_digit(cmg[1]) || !is_digit(cmg[2])) return kOddText;
  const int index = ricIndex_[static_cast<std::size_t>((cmg[1] - '0') * 10 + (cmg[2] - '0'))];
  return index < 0 ? kOddText : static_cast<TextKey>(firstRic_ + index);
}

TextKey TextKeys::table_version(const char* text) const noexcept {
  std::uint32_t word;
  if (!word_of(text, word)) return kOddText;
  if (word == blankVersionWord_) return kNoText;
  for (std::size_t v = 0; v < tableVersionWords_.size(); ++v) {
    if (word == tableVersionWords_[v]) return static_cast<TextKey>(firstTableVersion_ + v);
  }
  return kOddText;
}

TextKey TextKeys::grouper_version(const char* text) const noexcept {
  std::uint32_t word;
  return word_of(text, word) && word == grouperVersionWord_ ? static_cast<TextKey>(grouperVersion_)
                                                            : kOddText;
}

const TextKeys& text_keys() {
  static const TextKeys* keys = new TextKeys();
  return *keys;
}

}  // namespace cmg290::batch
